#pragma once
// The image part of the image document: the current image the tools change, the original image kept
// in the same geometry, the undo base, the metadata, the crop rectangle and the lossless JPEG codec,
// with reading and writing of files and the geometry operations. It needs no window, so velmora-cli
// and tests use it as it is; TQpGraphicsDocument adds the editor, the view and the tools. Owns all of
// the above.

#include "core/QpProperties.h"
#include "imaging/QpLTBitmap.h"
#include "platform/JpegCodec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Format identifiers of image documents.
constexpr std::int32_t kTransferBlockFormat = -1;
constexpr std::int32_t kJpegFormat = 0;
constexpr std::int32_t kTiffFormat = 1;
constexpr std::int32_t kPngFormat = 2;
constexpr std::int32_t kBmpFormat = 3;
// Any other file the platform library reads (GIF, WebP, ...): an ordinary document, not in the save list.
constexpr std::int32_t kOtherFormat = 4;

constexpr int kDefaultJpegQuality = 80;

// The image's metadata items and its resolution in dots per inch.
class TQpGraphicsDocumentProperties : public TQpCustomProperties
{
public:
    int HorizontalResolution = 96;
    int VerticalResolution = 96;
};

class TQpGraphicsImage
{
public:
    TQpGraphicsImage();
    virtual ~TQpGraphicsImage();
    TQpGraphicsImage(const TQpGraphicsImage&) = delete;
    TQpGraphicsImage& operator=(const TQpGraphicsImage&) = delete;

    TQpLTBitmap& CurrentImage() { return *m_current; }
    TQpPixels* CurrentPixels() { return m_current->GetPixels(); }
    // From loading until the first edit the original image and the undo base are the current image and
    // take no memory of their own; asking for either of them gives them their own copies (PrepareEdit).
    TQpLTBitmap& OriginalImage();
    // The original to look at, without making the copies an edit needs.
    TQpLTBitmap& OriginalForDisplay() { return m_shared ? *m_current : *m_original; }
    TQpPixels* OriginalPixels() { return OriginalImage().GetPixels(); }
    TQpPixelBuffer& UndoBase();
    // Gives the original image and the undo base their own copies, which they need before the current
    // pixels change: an edit session does it on starting, and whoever changes CurrentPixels outside a
    // session calls it first. After a failed copy the original is empty, as after a failed load of it.
    void PrepareEdit();
    // Whether the original image and the undo base are still the current image itself.
    bool CopiesShared() const { return m_shared; }
    TQpGraphicsDocumentProperties& Metadata() { return m_metadata; }
    const TQpGraphicsDocumentProperties& Metadata() const { return m_metadata; }
    // Null when the file did not come through the codec. While it keeps the file's orientation (see
    // LoadImageFile) its geometry is the file's.
    platform::TJpegCodec* JpegCodec() { return m_codec && m_codec->HoldsImage() ? m_codec.get() : nullptr; }
    int Width() const { return m_current->GetWidth(); }
    int Height() const { return m_current->GetHeight(); }

    // Reads a transfer block, a JPEG through the codec, or any image through the platform library, in that
    // order. The EXIF orientation is applied as a lossless step and the orientation item set to normal;
    // where that step would cut through the codec's blocks, the codec keeps the file's coefficients and
    // orientation, and saves them so, until a crop or a change of size. On failure (including absurd
    // sizes) the image is unchanged.
    bool LoadImageFile(const std::string& path, std::int32_t& format);
    // What the last LoadImageFile met: on success None or Damaged (a file cut short, opened with what
    // could be decoded), on failure why it failed.
    enum class TLoadProblem
    {
        None,
        Damaged,
        Missing,
        Folder,
        Unreadable,
        NotAnImage,
        TooLarge
    };
    TLoadProblem LoadProblem() const { return m_loadProblem; }
    // For TooLarge: the size and the limit it breaks; for Unreadable: the system's reason; for Damaged:
    // where the file ends, when that is known.
    const std::string& LoadProblemDetail() const { return m_loadDetail; }
    // Writes CropRect in the format: −1 back into the transfer block, a codec-held JPEG through the codec,
    // everything else through the encoder of the format with `jpegQuality`. Ordinary files are replaced
    // only after a complete write, keeping their mode; on failure the old file is untouched. With
    // `reencode` a codec-held JPEG is encoded anew at `jpegQuality` instead. A read-only file is replaced
    // only with `replaceReadOnly`. On failure SaveFailure says why.
    bool SaveImageFile(const std::string& path, std::int32_t format, int jpegQuality, bool reencode = false,
                       bool replaceReadOnly = false);
    const std::string& SaveFailure() const { return m_saveFailure; }

    bool RotateLeft();
    bool RotateRight();
    bool FlipHorizontal();
    bool FlipVertical();
    void Crop(const TQpRect& rect);
    // Both refuse, before allocating anything, a size beyond the reader's limits or the free memory;
    // SizeRefusal then says why.
    bool ResizeImage(int width, int height, bool includeOriginal, bool scaleCropRect);
    bool SetImageSize(int width, int height, bool includeOriginal);
    const std::string& SizeRefusal() const { return m_sizeRefusal; }
    void SnapshotImages(TQpPixelBuffer& current, TQpPixelBuffer* original);
    void RestoreImages(const TQpPixelBuffer& current, const TQpPixelBuffer* original);
    // The current image fitted into a size x size square (Lanczos), its sides at least 1.
    std::unique_ptr<TQpLTBitmap> ScaledCopy(int size);
    void ResetUndoBase();
    // Brings the undo base up to date with the current pixels in `rect`, which must hold every pixel
    // changed since the base last equalled the image: only `rect` is copied while the base has the
    // image's bounds and format, the whole image after a change of size. A shared base gets its own copy.
    void SyncUndoBase(const TQpRect& rect);

    // The crop rectangle, or the whole image when there is none.
    TQpRect CropRect() const;
    void SetCropRect(const TQpRect& rect);
    void ClearCropRect();
    bool HasCropRect() const { return !m_cropRect.IsEmpty(); }

protected:
    // After every change of the image's size or orientation.
    virtual void GeometryChanged() {}
    // After the current image's storage was replaced, so holders of CurrentPixels fetch it again.
    virtual void CurrentPixelsReplaced() {}

private:
    enum class TTurn
    {
        Left,
        Right,
        Mirror,
        Flip
    };
    bool Turn(TTurn turn, bool notify);
    bool LoadBlock(const std::string& path);
    bool LoadThroughCodec(const std::string& path);
    bool LoadThroughLibrary(const std::string& path, std::int32_t& format);
    void AdoptLoaded(std::unique_ptr<TQpLTBitmap> image);
    void ApplyOrientation();
    bool SaveImageBody(const std::string& path, std::int32_t format, int jpegQuality, bool reencode);
    // Writes the codec's coefficients in the file's orientation, the pixels turned back into it; `region`
    // becomes the written rectangle in that orientation and `items` get the orientation.
    bool SaveInFileOrientation(const std::string& path, platform::TJpegCodec& codec, TQpRect& region,
                               TQpCustomProperties& items);
    // Turns the codec's coefficients upright after all, before an operation the codec has to follow.
    void SettleCodecOrientation();

    static bool ApplyTurn(TQpLTBitmap& image, TTurn turn);
    static TTurn Inverse(TTurn turn);
    static void TurnCodec(platform::TJpegCodec& codec, TTurn turn);
    // `rect` of a width x height image, after the turn.
    static TQpRect TurnRect(TTurn turn, const TQpRect& rect, int width, int height);
    // The turns that show a photograph of EXIF orientation `orientation` upright, in order.
    static std::vector<TTurn> OrientationTurns(int orientation);
    // The orientation of what `turn` makes of an image shown upright by `orientation`.
    static int ComposeOrientation(int orientation, TTurn turn);

    std::unique_ptr<TQpLTBitmap> m_current;
    std::unique_ptr<TQpLTBitmap> m_original; // empty while shared
    TQpPixelBuffer m_undoBase;               // released while shared
    bool m_shared = true;
    // Whether the codec keeps the coefficients as the file holds them, which m_codecOrientation (an EXIF
    // orientation) turns into the image shown: a photograph whose upright turn would cut through blocks.
    bool m_codecKeepsFileOrientation = false;
    int m_codecOrientation = 1;
    TLoadProblem m_loadProblem = TLoadProblem::None;
    std::string m_sizeRefusal;
    std::string m_loadDetail;
    std::string m_saveFailure;
    TQpGraphicsDocumentProperties m_metadata;
    // The items as the file held them, to know when a copied file needs no new metadata.
    TQpCustomProperties m_fileMetadata;
    TQpRect m_cropRect;
    std::unique_ptr<platform::TJpegCodec> m_codec;
};
