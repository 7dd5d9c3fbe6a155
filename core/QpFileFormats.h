#pragma once
// The format registry an editor offers its dialogs and documents: named formats with wildcard masks
// and a default extension, plus what the open dialog's preview shows of a file (its description
// and a thumbnail). The image editor's concrete registry lives with the image document.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QPainter;
class TQpDocument;
struct TQpRect;

struct TQpFileFormatInfo
{
    std::int32_t Identifier = 0;     // stored in a document's format field
    std::u16string Name;             // shown in dialogs, e.g. "JPEG"
    std::u16string Masks;            // "*.jpg;*.jpeg"
    std::u16string DefaultExtension; // with the dot, ".jpg"; empty for the dialog's extra entries

    friend bool operator==(const TQpFileFormatInfo&, const TQpFileFormatInfo&) = default;
};

using TQpFileFormatArray = std::vector<TQpFileFormatInfo>;

// Localized string identifiers of the open dialog's two extra entries.
constexpr int kAllSupportedFormatsText = 146;
constexpr int kAllFilesText = 147;

// The multi-line text the open dialog's preview shows beside a file's thumbnail.
class TQpFileInfo
{
public:
    explicit TQpFileInfo(std::u16string fileName) : m_fileName(std::move(fileName)) {}
    virtual ~TQpFileInfo() = default;

    const std::u16string& FileName() const { return m_fileName; }
    // Empty here; a concrete format describes its own files.
    virtual void Description(std::u16string& text) const;

private:
    std::u16string m_fileName;
};

// A small picture of a file. Drawing is left to the layer that knows the painter; core only
// declares it.
class TQpThumbnail
{
public:
    virtual ~TQpThumbnail() = default;
    // Draws centred in `rect` and reports the rectangle actually covered.
    virtual bool Draw(QPainter& painter, const TQpRect& rect, TQpRect& drawnRect) = 0;
};

class TQpFileFormats
{
public:
    virtual ~TQpFileFormats() = default;

    virtual int Count() const = 0;
    // nullptr outside 0 .. Count - 1.
    virtual const TQpFileFormatInfo* Format(int index) const = 0;
    // Both may be called from the open dialog's preview thread; false when the file cannot be
    // examined, and always here.
    virtual bool GetFileInfo(const std::u16string& name, std::unique_ptr<TQpFileInfo>& info) const;
    virtual bool GetThumbnail(const std::u16string& name, int width, std::unique_ptr<TQpThumbnail>& thumbnail,
                              int height) const;
    // Every format, in order.
    virtual void GetSaveFormats(TQpFileFormatArray& formats) const;
    // Every format, then "all supported" (identifier 0, every format's masks joined with ";") and
    // "all files" ("*.*").
    virtual void GetOpenFormats(TQpFileFormatArray& formats) const;

    // The index of the first format with that identifier, -1 if none.
    int IndexOfFormat(std::int32_t identifier) const;
};

// A registry that also reads and writes documents.
class TQpDocumentFormats : public TQpFileFormats
{
public:
    // Reads the file into the document and reports the identifier of the format it was in.
    virtual bool Load(TQpDocument& document, const std::u16string& name, std::int32_t& format) = 0;
    virtual bool Save(TQpDocument& document, const std::u16string& name, std::int32_t format) = 0;
    // Why the last Save failed ("the disk is full"); empty when it succeeded or the user cancelled it.
    virtual std::string LastSaveFailure() const { return {}; }
};

// The dialogs' filter text: per format name + " (" + masks + ")|" + masks, joined with "|".
std::u16string FormatFilterText(const TQpFileFormatArray& formats);
// One name filter per format in the file dialog's own syntax, "JPEG (*.jpg *.jpeg)".
std::vector<std::u16string> FormatNameFilters(const TQpFileFormatArray& formats);
// The index of the first record with that identifier, -1 if none.
int IndexOfFormatIdentifier(const TQpFileFormatArray& formats, std::int32_t identifier);
// The index of the first record whose masks hold "*.<extension>" (case-insensitive ASCII, no dot
// given), -1 if none or the extension is empty.
int IndexOfFormatExtension(const TQpFileFormatArray& formats, std::u16string_view extension);
