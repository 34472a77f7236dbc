#include "resources/bitmap_manager.h"

#include <allegro5/allegro.h>

#include "resources/bitmap.h"

namespace Kelvane {

Bitmap_Manager::~Bitmap_Manager() {
    for (std::list<Bitmap*>* entries : {&bitmaps, &replaced}) {
        for (Bitmap* bitmap : *entries) {
            al_destroy_bitmap(bitmap->Get_Bit());
            delete bitmap;
        }
    }
}

std::list<Bitmap*>::iterator Bitmap_Manager::Find(const std::string& name) {
    auto entry = bitmaps.begin();
    while (entry != bitmaps.end() && (*entry)->Get_Name() != name) ++entry;
    return entry;
}

Bitmap* Bitmap_Manager::Get_Bitmap(std::string name) {
    if (Bitmap* stored = Get_Stored_Bitmap(name)) return stored;
    bitmaps.push_back(new Bitmap(name));
    return bitmaps.back();
}

Bitmap* Bitmap_Manager::Get_Stored_Bitmap(std::string name) {
    auto entry = Find(name);
    return entry != bitmaps.end() ? *entry : nullptr;
}

Bitmap* Bitmap_Manager::Get_Usable_Bitmap(std::string name) {
    if (Bitmap* stored = Get_Stored_Bitmap(name)) return stored->Is_Fallback() ? nullptr : stored;
    ALLEGRO_BITMAP* image = Bitmap::Load_Usable(name);
    if (!image) return nullptr;
    bitmaps.push_back(new Bitmap(name, image));
    return bitmaps.back();
}

void Bitmap_Manager::Add_Bitmap(std::string name, ALLEGRO_BITMAP* image) {
    bitmaps.push_back(new Bitmap(name, image));
}

void Bitmap_Manager::Replace_Bitmap(std::string name, ALLEGRO_BITMAP* image, bool fallback) {
    for (auto entry = Find(name); entry != bitmaps.end(); entry = Find(name))
        replaced.splice(replaced.end(), bitmaps, entry);
    bitmaps.push_back(new Bitmap(name, image, fallback));
}

void Bitmap_Manager::Release_Bitmap(std::string name) {
    auto entry = Find(name);
    if (entry == bitmaps.end()) return;
    al_destroy_bitmap((*entry)->Get_Bit());
    delete *entry;
    bitmaps.erase(entry);
}

}  // namespace Kelvane
