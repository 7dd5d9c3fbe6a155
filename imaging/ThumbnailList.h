#pragma once
// The collection in memory: one thumbnail per item, all kept so that a grid draws without file
// access, and the current item. Owned by the paste tool for its whole life.

#include "imaging/Thumbnail.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class TThumbnailList
{
public:
    explicit TThumbnailList(std::filesystem::path folder) : m_folder(std::move(folder)) {}

    const std::filesystem::path& Folder() const { return m_folder; }
    int Count() const { return int(m_thumbnails.size()); }
    int Current() const { return m_current; }

    // Loads the item's thumbnail (invalid ones too) and makes it current.
    void Add(const std::string& name);
    void Delete(int index);
    // Empty outside the range.
    std::string Name(int index) const;
    // 0 outside the range or for an invalid thumbnail.
    int Kind(int index) const;
    std::string CurrentName() const { return Name(m_current); }
    int CurrentKind() const { return Kind(m_current); }
    std::uint32_t PixelAt(int index, int x, int y) const;
    const TThumbnail* Thumbnail(int index) const;
    void Clear();
    // Indices outside the range select none.
    void Select(int index);
    bool NoneSelected() const { return m_current < 0; }

private:
    std::filesystem::path m_folder;
    std::vector<std::unique_ptr<TThumbnail>> m_thumbnails;
    int m_current = -1;
};

// Adds every item of the list's folder, sorted by name.
void LoadAllItems(TThumbnailList& list);
// Adds the item with the largest name, if any.
void AddNewestItem(TThumbnailList& list);
