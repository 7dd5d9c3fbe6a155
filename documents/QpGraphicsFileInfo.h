#pragma once
// What the open dialog's preview says about an image file: its format, size, date taken and camera,
// read from the file's header and metadata when the object is made (possibly on the preview thread).

#include "core/QpFileFormats.h"

class TQpGraphicsFileInfo : public TQpFileInfo
{
public:
    explicit TQpGraphicsFileInfo(std::u16string fileName);
    void Description(std::u16string& text) const override { text = m_description; }

private:
    std::u16string m_description;
};
