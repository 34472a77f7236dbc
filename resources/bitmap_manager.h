#pragma once
// The bitmap store: every image scene objects use, keyed by exact path or
// name, loaded on first request and owned until the process ends.

#include <list>
#include <string>

struct ALLEGRO_BITMAP;

namespace Kelvane {

class Bitmap;

class Bitmap_Manager {
public:
    Bitmap_Manager() = default;
    // The game keeps its store for the whole run; a store that does end (in a
    // tool or a test) takes its images with it.
    ~Bitmap_Manager();
    Bitmap_Manager(const Bitmap_Manager&) = delete;
    Bitmap_Manager& operator=(const Bitmap_Manager&) = delete;

    // The cached entry, loading it on first request; never null.
    Bitmap* Get_Bitmap(std::string name);
    // The entry stored under that name, or null when there is none; never
    // touches the disk, so it tells what was loaded or made during this run.
    Bitmap* Get_Stored_Bitmap(std::string name);
    // The cached entry unless it holds the fallback image, else the file loaded
    // into a new entry; null, with nothing stored or printed, when the file is
    // missing, undecodable or too large for a texture.
    Bitmap* Get_Usable_Bitmap(std::string name);
    // Appends an entry for an image made by the caller; the store takes ownership.
    // An entry already stored under that name keeps being the one Get_Bitmap finds.
    void Add_Bitmap(std::string name, ALLEGRO_BITMAP* image);
    // Like Add_Bitmap, but the new entry is the one found from now on. The
    // entry it replaces is kept, image and all, for whoever still draws it.
    // `fallback`: the image was made from the fallback image (Bitmap::Is_Fallback).
    void Replace_Bitmap(std::string name, ALLEGRO_BITMAP* image, bool fallback = false);
    // Destroys the first entry of that name and its image, so the next
    // Get_Bitmap loads the file afresh instead of handing out a dead image.
    void Release_Bitmap(std::string name);

private:
    std::list<Bitmap*>::iterator Find(const std::string& name);

    std::list<Bitmap*> bitmaps;
    std::list<Bitmap*> replaced;  // no longer found, still owned
};

}  // namespace Kelvane
