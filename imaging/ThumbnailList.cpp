#include "imaging/ThumbnailList.h"

#include "imaging/ThumbnailFiles.h"

#include <algorithm>

void TThumbnailList::Add(const std::string& name)
{
    m_thumbnails.push_back(std::make_unique<TThumbnail>(TThumbnail::CreateFromFile(m_folder, name)));
    m_current = Count() - 1;
}

void TThumbnailList::Delete(int index)
{
    if (index < 0 || index >= Count()) {
        return;
    }
    m_thumbnails.erase(m_thumbnails.begin() + index);
    m_current = std::min(m_current, Count() - 1);
}

std::string TThumbnailList::Name(int index) const
{
    const TThumbnail* thumbnail = Thumbnail(index);
    return thumbnail ? thumbnail->Name() : std::string();
}

int TThumbnailList::Kind(int index) const
{
    const TThumbnail* thumbnail = Thumbnail(index);
    return thumbnail && thumbnail->Valid() ? thumbnail->Kind() : 0;
}

std::uint32_t TThumbnailList::PixelAt(int index, int x, int y) const
{
    const TThumbnail* thumbnail = Thumbnail(index);
    return thumbnail ? thumbnail->PixelAt(x, y) : 0;
}

const TThumbnail* TThumbnailList::Thumbnail(int index) const
{
    return index >= 0 && index < Count() ? m_thumbnails[std::size_t(index)].get() : nullptr;
}

void TThumbnailList::Clear()
{
    m_thumbnails.clear();
    m_current = -1;
}

void TThumbnailList::Select(int index)
{
    m_current = index >= 0 && index < Count() ? index : -1;
}

void LoadAllItems(TThumbnailList& list)
{
    for (const std::string& name : ItemNames(list.Folder())) {
        list.Add(name);
    }
}

void AddNewestItem(TThumbnailList& list)
{
    const std::vector<std::string> names = ItemNames(list.Folder());
    if (!names.empty()) {
        list.Add(names.back());
    }
}
