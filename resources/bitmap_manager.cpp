#include "resources/bitmap_manager.h"

#include <allegro5/allegro.h>

#include "resources/bitmap.h"

namespace Kelvane {

Bitmap_Manager::~Bitmap_Manager() {
    for (Bitmap* bitmap : bitmaps) {
        al_destroy_bitmap(bitmap->Get_Bit());
        delete bitmap;
    }
}

Bitmap* Bitmap_Manager::Get_Bitmap(std::string name) {
    for (Bitmap* bitmap : bitmaps)
        if (bitmap->Get_Name() == name) return bitmap;
    Bitmap* bitmap = new Bitmap(name);
    bitmaps.push_back(bitmap);
    return bitmap;
}

void Bitmap_Manager::Add_Bitmap(std::string name, ALLEGRO_BITMAP* image) {
    bitmaps.push_back(new Bitmap(name, image));
}

void Bitmap_Manager::Release_Bitmap(std::string name) {
    for (auto entry = bitmaps.begin(); entry != bitmaps.end(); ++entry) {
        if ((*entry)->Get_Name() != name) continue;
        al_destroy_bitmap((*entry)->Get_Bit());
        delete *entry;
        bitmaps.erase(entry);
        return;
    }
}

}  // namespace Kelvane
