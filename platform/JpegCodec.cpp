#include "platform/JpegCodec.h"

#include "platform/ImageCodec.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include <jerror.h>
#include <jpeglib.h>
#include <turbojpeg.h>

namespace platform {

namespace {

// libjpeg reports errors by longjmp. The functions that call setjmp below keep only plain values in
// their frames and reach C++ objects through pointers, so no destructor is ever skipped.
struct TJpegErrorManager
{
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    bool Truncated;
};

void JpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegErrorManager*>(info->err)->Jump, 1);
}

void JpegEmitMessage(j_common_ptr info, int level)
{
    // A file that ends early only warns, and would come out with a grey bottom: treat it as broken.
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<TJpegErrorManager*>(info->err)->Truncated = true;
}

void InitErrorManager(TJpegErrorManager& manager)
{
    jpeg_std_error(&manager.Pub);
    manager.Pub.error_exit = JpegErrorExit;
    manager.Pub.emit_message = JpegEmitMessage;
    manager.Truncated = false;
}

// libjpeg reaches coefficient arrays only through its memory manager. Serving their rows from the codec's
// own storage lets the decoder fill that storage in place and the encoder read kept blocks where they lie,
// instead of copying every block of a photograph through arrays of the library's.
struct TServedRows
{
    JBLOCKROW* Rows[4];
    int BlocksWide[4];
    int BlocksHigh[4];
    int Count;
    // Reading: the storage the decoder's arrays are made in, one per component in the order it asks.
    TJpegCoefficients* Storage;
    jvirt_barray_ptr (*LibraryRequest)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION, JDIMENSION);
    JBLOCKARRAY (*LibraryAccess)(j_common_ptr, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean);
};

jvirt_barray_ptr ServedArray(TServedRows* served, int component)
{
    return reinterpret_cast<jvirt_barray_ptr>(&served->Rows[component]);
}

jvirt_barray_ptr RequestServedRows(j_common_ptr info, int pool, boolean preZero, JDIMENSION blocksWide,
                                   JDIMENSION blocksHigh, JDIMENSION maxAccess)
{
    auto* served = static_cast<TServedRows*>(info->client_data);
    const int c = served->Count;
    if (c >= 4 || !served->Storage)
        return served->LibraryRequest(info, pool, preZero, blocksWide, blocksHigh, maxAccess);
    // Fresh storage is zero-filled, as the decoder needs it.
    TJpegCoefficients& storage = served->Storage[c];
    if (!storage.Allocate(static_cast<std::size_t>(blocksWide) * blocksHigh * DCTSIZE2))
        ERREXIT1(info, JERR_OUT_OF_MEMORY, 10);
    auto* rows = static_cast<JBLOCKROW*>((*info->mem->alloc_large)(
        info, JPOOL_IMAGE, static_cast<std::size_t>(blocksHigh) * sizeof(JBLOCKROW)));
    for (JDIMENSION y = 0; y < blocksHigh; ++y)
        rows[y] =
            reinterpret_cast<JBLOCKROW>(storage.data() + static_cast<std::size_t>(y) * blocksWide * DCTSIZE2);
    served->Rows[c] = rows;
    served->BlocksWide[c] = static_cast<int>(blocksWide);
    served->BlocksHigh[c] = static_cast<int>(blocksHigh);
    served->Count = c + 1;
    return ServedArray(served, c);
}

JBLOCKARRAY AccessServedRows(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION startRow, JDIMENSION rows,
                             boolean writable)
{
    auto* served = static_cast<TServedRows*>(info->client_data);
    for (int c = 0; c < served->Count; ++c)
        if (array == ServedArray(served, c)) {
            if (startRow + rows > static_cast<JDIMENSION>(served->BlocksHigh[c]))
                ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
            return served->Rows[c] + startRow;
        }
    return served->LibraryAccess(info, array, startRow, rows, writable);
}

void ServeRows(j_common_ptr info, TServedRows* served)
{
    info->client_data = served;
    served->LibraryRequest = info->mem->request_virt_barray;
    served->LibraryAccess = info->mem->access_virt_barray;
    info->mem->request_virt_barray = RequestServedRows;
    info->mem->access_virt_barray = AccessServedRows;
}

struct TReadJob
{
    const std::uint8_t* Data;
    std::size_t Size;
    bool HeaderOnly;
    jvirt_barray_ptr* Arrays;
    TServedRows* Served;
};

bool ReadHeaderAndCoefficients(jpeg_decompress_struct* info, TJpegErrorManager* error, TReadJob* job)
{
    if (setjmp(error->Jump))
        return false;
    jpeg_create_decompress(info);
    jpeg_mem_src(info, job->Data, static_cast<unsigned long>(job->Size));
    jpeg_save_markers(info, JPEG_COM, 0xFFFF);
    for (int n = 0; n < 16; ++n)
        jpeg_save_markers(info, JPEG_APP0 + n, 0xFFFF);
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!TImageCodec::IsAcceptableSize(info->image_width, info->image_height) || info->data_precision != 8 ||
        (info->jpeg_color_space != JCS_YCbCr && info->jpeg_color_space != JCS_GRAYSCALE) ||
        info->num_components < 1 || info->num_components > 3)
        return false;
    if (job->HeaderOnly)
        return true;
    ServeRows(reinterpret_cast<j_common_ptr>(info), job->Served);
    job->Arrays = jpeg_read_coefficients(info);
    return job->Arrays != nullptr && !error->Truncated;
}

struct TCopyJob
{
    jvirt_barray_ptr* Arrays;
    int Components;
    std::int16_t* Dest[4];
    int BlocksWide[4];
    int BlocksHigh[4];
};

bool CopyCoefficients(jpeg_decompress_struct* info, TJpegErrorManager* error, const TCopyJob* job)
{
    if (setjmp(error->Jump))
        return false;
    for (int c = 0; c < job->Components; ++c) {
        const jpeg_component_info& component = info->comp_info[c];
        const int haveWide = static_cast<int>((component.width_in_blocks + component.h_samp_factor - 1) /
                                              component.h_samp_factor * component.h_samp_factor);
        const int haveHigh = static_cast<int>((component.height_in_blocks + component.v_samp_factor - 1) /
                                              component.v_samp_factor * component.v_samp_factor);
        const int wide = std::min(haveWide, job->BlocksWide[c]);
        const int high = std::min(haveHigh, job->BlocksHigh[c]);
        const std::size_t rowBytes = static_cast<std::size_t>(job->BlocksWide[c]) * sizeof(JBLOCK);
        for (int y = 0; y < job->BlocksHigh[c]; ++y) {
            std::int16_t* dest = job->Dest[c] + static_cast<std::size_t>(y) * job->BlocksWide[c] * 64;
            if (y >= high) {
                std::memset(dest, 0, rowBytes);
                continue;
            }
            JBLOCKARRAY row = (*info->mem->access_virt_barray)(
                reinterpret_cast<j_common_ptr>(info), job->Arrays[c], static_cast<JDIMENSION>(y), 1, FALSE);
            std::memcpy(dest, row[0], static_cast<std::size_t>(wide) * sizeof(JBLOCK));
            if (wide < job->BlocksWide[c])
                std::memset(dest + static_cast<std::size_t>(wide) * 64, 0,
                            static_cast<std::size_t>(job->BlocksWide[c] - wide) * sizeof(JBLOCK));
        }
    }
    return true;
}

struct TWriteJob
{
    int Width;
    int Height;
    int Components;
    int Ids[4];
    int H[4];
    int V[4];
    int QuantSlot[4];
    int BlocksWide[4];
    int BlocksHigh[4];
    TServedRows* Served;
    const std::uint16_t* Quant[4];
    bool Progressive;
    bool Jfif;
    int DensityUnit;
    int DensityX;
    int DensityY;
    int MarkerCount;
    const int* MarkerCodes;
    const std::uint8_t* const* MarkerData;
    const unsigned* MarkerLengths;
    unsigned char* Output;
    unsigned long OutputSize;
};

bool WriteCoefficients(jpeg_compress_struct* info, TJpegErrorManager* error, TWriteJob* job)
{
    if (setjmp(error->Jump))
        return false;
    jpeg_create_compress(info);
    ServeRows(reinterpret_cast<j_common_ptr>(info), job->Served);
    jpeg_mem_dest(info, &job->Output, &job->OutputSize);
    info->image_width = static_cast<JDIMENSION>(job->Width);
    info->image_height = static_cast<JDIMENSION>(job->Height);
    info->input_components = job->Components;
    info->in_color_space = job->Components == 1 ? JCS_GRAYSCALE : JCS_YCbCr;
    jpeg_set_defaults(info);
    jpeg_set_colorspace(info, job->Components == 1 ? JCS_GRAYSCALE : JCS_YCbCr);
    for (int slot = 0; slot < 4; ++slot) {
        if (!job->Quant[slot])
            continue;
        if (!info->quant_tbl_ptrs[slot])
            info->quant_tbl_ptrs[slot] = jpeg_alloc_quant_table(reinterpret_cast<j_common_ptr>(info));
        for (int k = 0; k < 64; ++k)
            info->quant_tbl_ptrs[slot]->quantval[k] = job->Quant[slot][k];
        info->quant_tbl_ptrs[slot]->sent_table = FALSE;
    }
    jvirt_barray_ptr arrays[4] = {};
    for (int c = 0; c < job->Components; ++c) {
        jpeg_component_info& component = info->comp_info[c];
        component.component_id = job->Ids[c];
        component.h_samp_factor = job->H[c];
        component.v_samp_factor = job->V[c];
        component.quant_tbl_no = job->QuantSlot[c];
        arrays[c] = ServedArray(job->Served, c);
    }
    info->write_JFIF_header = job->Jfif ? TRUE : FALSE;
    if (job->Jfif) {
        info->density_unit = static_cast<UINT8>(job->DensityUnit);
        info->X_density = static_cast<UINT16>(job->DensityX);
        info->Y_density = static_cast<UINT16>(job->DensityY);
    }
    info->write_Adobe_marker = FALSE;
    info->optimize_coding = FALSE;
    if (job->Progressive)
        jpeg_simple_progression(info);
    jpeg_write_coefficients(info, arrays);
    for (int m = 0; m < job->MarkerCount; ++m)
        jpeg_write_marker(info, job->MarkerCodes[m], job->MarkerData[m], job->MarkerLengths[m]);
    jpeg_finish_compress(info);
    return true;
}

struct TDecompressGuard
{
    jpeg_decompress_struct Info{};
    ~TDecompressGuard() { jpeg_destroy_decompress(&Info); }
};

struct TCompressGuard
{
    jpeg_compress_struct Info{};
    ~TCompressGuard() { jpeg_destroy_compress(&Info); }
};

bool WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    return std::fclose(file) == 0 && written;
}

int CeilDiv(int a, int b)
{
    return (a + b - 1) / b;
}

// The basis of the forward DCT: cos((2x + 1) u pi / 16), with the DC scale folded in.
struct TDctBasis
{
    double Value[8][8];
    TDctBasis()
    {
        for (int u = 0; u < 8; ++u)
            for (int x = 0; x < 8; ++x)
                Value[u][x] = (u == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * x + 1) * u * M_PI / 16.0);
    }
};

} // namespace

bool TJpegCodec::Load(const std::string& path, TQpPixelBuffer& pixels)
{
    std::vector<std::uint8_t> bytes;
    if (!TImageCodec::ReadFileBytes(path, bytes)) {
        Release();
        return false;
    }
    return LoadMemory(std::move(bytes), pixels);
}

bool TJpegCodec::LoadMemory(std::vector<std::uint8_t> bytes, TQpPixelBuffer& pixels)
{
    const TPixelAllocator allocate = [&pixels](int width, int height) -> TQpPixels* {
        return pixels.SetFormatAndBounds(pfBGR24, TQpRect{0, 0, width, height}) ? &pixels : nullptr;
    };
    if (LoadMemory(std::move(bytes), allocate))
        return true;
    pixels.Release();
    return false;
}

bool TJpegCodec::Load(const std::string& path, const TPixelAllocator& allocate)
{
    std::vector<std::uint8_t> bytes;
    if (!TImageCodec::ReadFileBytes(path, bytes)) {
        Release();
        return false;
    }
    return LoadMemory(std::move(bytes), allocate);
}

bool TJpegCodec::LoadMemory(std::vector<std::uint8_t> bytes, const TPixelAllocator& allocate)
{
    Release();
    m_bytes = std::move(bytes);
    if (TImageCodec::DetectFormat(m_bytes.data(), m_bytes.size()) != TRawFormat::Jpeg) {
        Release();
        return false;
    }
    // The coefficients wait in the bytes until an edit needs them, so opening costs one plain decode.
    TImageInfo info;
    if (!ReadCoefficients(true) ||
        !TImageCodec::DecodeMemory(m_bytes.data(), m_bytes.size(), allocate, info) || info.Width != m_width ||
        info.Height != m_height) {
        Release();
        return false;
    }
    m_holds = true;
    m_inStep = true;
    m_pristine = true;
    return true;
}

bool TJpegCodec::ReadCoefficients(bool headerOnly)
{
    TDecompressGuard guard;
    TJpegErrorManager error;
    InitErrorManager(error);
    guard.Info.err = &error.Pub;
    std::array<TJpegCoefficients, 4> storage;
    TServedRows served{};
    served.Storage = storage.data();
    TReadJob read{m_bytes.data(), m_bytes.size(), headerOnly, nullptr, &served};
    if (!ReadHeaderAndCoefficients(&guard.Info, &error, &read))
        return false;
    const jpeg_decompress_struct& info = guard.Info;
    m_width = static_cast<int>(info.image_width);
    m_height = static_cast<int>(info.image_height);
    m_maxH = info.max_h_samp_factor;
    m_maxV = info.max_v_samp_factor;
    m_progressive = info.progressive_mode != 0;
    m_jfif = info.saw_JFIF_marker != 0;
    m_densityUnit = info.density_unit;
    m_densityX = std::max<int>(1, info.X_density);
    m_densityY = std::max<int>(1, info.Y_density);
    m_components.clear();
    m_components.resize(static_cast<std::size_t>(info.num_components));
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& source = info.comp_info[c];
        TComponent& component = m_components[c];
        component.Id = source.component_id;
        component.H = source.h_samp_factor;
        component.V = source.v_samp_factor;
        component.QuantSlot = source.quant_tbl_no;
        if (component.QuantSlot < 0 || component.QuantSlot > 3)
            return false;
        // Tables are latched into the components only once decoding starts.
        const JQUANT_TBL* table =
            source.quant_table ? source.quant_table : info.quant_tbl_ptrs[component.QuantSlot];
        if (!table)
            return false;
        for (int k = 0; k < 64; ++k)
            m_quant[component.QuantSlot][k] = table->quantval[k];
    }
    m_markers.clear();
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        const bool jfif = marker->marker == JPEG_APP0 && marker->data_length >= 5 &&
                          std::memcmp(marker->data, "JFIF", 5) == 0;
        const bool adobe = marker->marker == JPEG_APP0 + 14;
        if (!jfif && !adobe)
            m_markers.push_back({marker->marker, std::vector<std::uint8_t>(
                                                     marker->data, marker->data + marker->data_length)});
    }
    SizeGrids();
    m_coefficientsRead = false;
    if (headerOnly)
        return true;
    bool inPlace = served.Count == info.num_components;
    for (int c = 0; inPlace && c < info.num_components; ++c)
        inPlace = served.BlocksWide[c] == m_components[c].BlocksWide &&
                  served.BlocksHigh[c] == m_components[c].BlocksHigh;
    if (inPlace) {
        for (int c = 0; c < info.num_components; ++c)
            m_components[c].Coefs = std::move(storage[c]);
        m_coefficientsRead = true;
        return true;
    }
    // The library sized its arrays otherwise than the grid: copy block by block.
    TCopyJob copy{read.Arrays, info.num_components, {}, {}, {}};
    for (int c = 0; c < info.num_components; ++c) {
        if (!m_components[c].Coefs.Allocate(static_cast<std::size_t>(m_components[c].BlocksWide) *
                                            m_components[c].BlocksHigh * 64))
            return false;
        copy.Dest[c] = m_components[c].Coefs.data();
        copy.BlocksWide[c] = m_components[c].BlocksWide;
        copy.BlocksHigh[c] = m_components[c].BlocksHigh;
    }
    m_coefficientsRead = CopyCoefficients(&guard.Info, &error, &copy);
    return m_coefficientsRead;
}

void TJpegCodec::SizeGrids()
{
    const int unitsWide = CeilDiv(m_width, BlockWidth());
    const int unitsHigh = CeilDiv(m_height, BlockHeight());
    for (TComponent& component : m_components) {
        component.BlocksWide = unitsWide * component.H;
        component.BlocksHigh = unitsHigh * component.V;
        component.Coefs.Free();
    }
}

bool TJpegCodec::EnsureCoefficients()
{
    if (m_coefficientsRead)
        return true;
    if (!m_inStep)
        return false;
    if (ReadCoefficients(false))
        return true;
    LoseStep();
    return false;
}

bool TJpegCodec::TransformBytes(int op, const TQpRect* crop)
{
    if (m_coefficientsRead || !m_inStep || !m_pristine)
        return false;
    tjhandle handle = tjInitTransform();
    if (!handle)
        return false;
    tjtransform transform{};
    transform.op = op;
    transform.options = TJXOPT_PERFECT;
    if (crop) {
        transform.options |= TJXOPT_CROP;
        transform.r = {crop->Left, crop->Top, crop->Width(), crop->Height()};
    }
    unsigned char* output = nullptr;
    unsigned long size = 0;
    const int result = tjTransform(handle, m_bytes.data(), static_cast<unsigned long>(m_bytes.size()), 1,
                                   &output, &size, &transform, 0);
    tjDestroy(handle);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(output,
                                                                   [](unsigned char* p) { tjFree(p); });
    if (result != 0 || !output)
        return false;
    std::vector<std::uint8_t> previous = std::move(m_bytes);
    m_bytes.assign(output, output + size);
    if (ReadCoefficients(true))
        return true;
    m_bytes = std::move(previous);
    ReadCoefficients(true);
    return false;
}

void TJpegCodec::Release()
{
    m_holds = m_inStep = m_pristine = m_coefficientsRead = false;
    m_width = m_height = 0;
    m_maxH = m_maxV = 1;
    m_components.clear();
    m_markers.clear();
    m_bytes.clear();
    m_bytes.shrink_to_fit();
}

void TJpegCodec::Sampling(std::uint16_t& horizontal, std::uint16_t& vertical) const
{
    horizontal = static_cast<std::uint16_t>(m_maxH);
    vertical = static_cast<std::uint16_t>(m_maxV);
}

const std::int16_t* TJpegCodec::Block(int component, int blockX, int blockY) const
{
    // Reading is lazy; what the codec holds does not change by it.
    const_cast<TJpegCodec*>(this)->EnsureCoefficients();
    const TComponent& c = m_components[component];
    return c.Coefs.data() + (static_cast<std::size_t>(blockY) * c.BlocksWide + blockX) * 64;
}

void TJpegCodec::LoseStep()
{
    m_inStep = false;
    m_pristine = false;
    for (TComponent& component : m_components) {
        component.Coefs.Free();
    }
}

void TJpegCodec::Transform(TOp op)
{
    m_pristine = false;
    if (op == TOp::Transpose) {
        std::swap(m_width, m_height);
        std::swap(m_maxH, m_maxV);
        std::array<bool, 4> done{};
        for (TComponent& component : m_components) {
            std::swap(component.H, component.V);
            if (!done[component.QuantSlot]) {
                done[component.QuantSlot] = true;
                auto& table = m_quant[component.QuantSlot];
                for (int v = 0; v < 8; ++v)
                    for (int u = v + 1; u < 8; ++u)
                        std::swap(table[v * 8 + u], table[u * 8 + v]);
            }
        }
    }
    if (!m_inStep)
        return;
    for (TComponent& component : m_components) {
        const int wide = component.BlocksWide;
        const int high = component.BlocksHigh;
        std::int16_t* coefs = component.Coefs.data();
        const std::size_t count = component.Coefs.size();
        switch (op) {
        case TOp::HFlip:
            for (int y = 0; y < high; ++y)
                for (int x = 0; x < wide / 2; ++x)
                    std::swap_ranges(coefs + (static_cast<std::ptrdiff_t>(y) * wide + x) * 64,
                                     coefs + (static_cast<std::ptrdiff_t>(y) * wide + x + 1) * 64,
                                     coefs + (static_cast<std::ptrdiff_t>(y) * wide + wide - 1 - x) * 64);
            for (std::size_t b = 0; b < count; b += 64)
                for (int k = 1; k < 64; k += 2) // odd horizontal frequencies change sign
                    coefs[b + k] = static_cast<std::int16_t>(-coefs[b + k]);
            break;
        case TOp::VFlip:
            for (int y = 0; y < high / 2; ++y)
                std::swap_ranges(coefs + static_cast<std::ptrdiff_t>(y) * wide * 64,
                                 coefs + static_cast<std::ptrdiff_t>(y + 1) * wide * 64,
                                 coefs + static_cast<std::ptrdiff_t>(high - 1 - y) * wide * 64);
            for (std::size_t b = 0; b < count; b += 64)
                for (int k = 8; k < 64; ++k)
                    if ((k / 8) % 2 == 1)
                        coefs[b + k] = static_cast<std::int16_t>(-coefs[b + k]);
            break;
        case TOp::Transpose: {
            TCoefficients turned;
            if (!turned.Allocate(count)) {
                LoseStep();
                return;
            }
            for (int y = 0; y < high; ++y)
                for (int x = 0; x < wide; ++x) {
                    const std::int16_t* from = coefs + (static_cast<std::size_t>(y) * wide + x) * 64;
                    std::int16_t* to = turned.data() + (static_cast<std::size_t>(x) * high + y) * 64;
                    for (int v = 0; v < 8; ++v)
                        for (int u = 0; u < 8; ++u)
                            to[u * 8 + v] = from[v * 8 + u];
                }
            component.Coefs = std::move(turned);
            std::swap(component.BlocksWide, component.BlocksHigh);
            break;
        }
        }
    }
}

bool TJpegCodec::RotateRight()
{
    // Clockwise = transpose, then mirror; the old bottom edge becomes the left edge.
    if (m_height % BlockHeight() != 0)
        LoseStep();
    if (TransformBytes(TJXOP_ROT90, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::Transpose);
    Transform(TOp::HFlip);
    return m_inStep;
}

bool TJpegCodec::RotateLeft()
{
    if (m_width % BlockWidth() != 0)
        LoseStep();
    if (TransformBytes(TJXOP_ROT270, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::Transpose);
    Transform(TOp::VFlip);
    return m_inStep;
}

bool TJpegCodec::FlipHorizontal()
{
    if (m_width % BlockWidth() != 0)
        LoseStep();
    if (TransformBytes(TJXOP_HFLIP, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::HFlip);
    return m_inStep;
}

bool TJpegCodec::FlipVertical()
{
    if (m_height % BlockHeight() != 0)
        LoseStep();
    if (TransformBytes(TJXOP_VFLIP, nullptr))
        return true;
    EnsureCoefficients();
    Transform(TOp::VFlip);
    return m_inStep;
}

bool TJpegCodec::Crop(const TQpRect& rect)
{
    if (rect.IsEmpty() || rect.Left < 0 || rect.Top < 0 || rect.Right > m_width || rect.Bottom > m_height)
        return false;
    if (rect == TQpRect{0, 0, m_width, m_height})
        return m_inStep;
    if (rect.Left % BlockWidth() != 0 || rect.Top % BlockHeight() != 0)
        LoseStep();
    if (TransformBytes(TJXOP_NONE, &rect))
        return true;
    EnsureCoefficients();
    m_pristine = false;
    const int unitLeft = rect.Left / BlockWidth();
    const int unitTop = rect.Top / BlockHeight();
    m_width = rect.Width();
    m_height = rect.Height();
    if (!m_inStep)
        return false;
    for (TComponent& component : m_components) {
        const int wide = CeilDiv(m_width, BlockWidth()) * component.H;
        const int high = CeilDiv(m_height, BlockHeight()) * component.V;
        TCoefficients cropped;
        if (!cropped.Allocate(static_cast<std::size_t>(wide) * high * 64)) {
            LoseStep();
            return false;
        }
        for (int y = 0; y < high; ++y)
            std::memcpy(cropped.data() + static_cast<std::size_t>(y) * wide * 64,
                        component.Coefs.data() +
                            ((static_cast<std::size_t>(unitTop) * component.V + y) * component.BlocksWide +
                             static_cast<std::size_t>(unitLeft) * component.H) *
                                64,
                        static_cast<std::size_t>(wide) * 64 * sizeof(std::int16_t));
        component.Coefs = std::move(cropped);
        component.BlocksWide = wide;
        component.BlocksHigh = high;
    }
    return true;
}

void TJpegCodec::Resized(int width, int height)
{
    if (width == m_width && height == m_height)
        return;
    LoseStep();
    m_width = width;
    m_height = height;
}

void TJpegCodec::EncodeUnit(const TQpPixels& pixels, const TQpRect& region, int unitX, int unitY,
                            std::vector<TOutputComponent>& components) const
{
    static const TDctBasis basis;
    const int unitW = BlockWidth();
    const int unitH = BlockHeight();
    // Colour planes of the unit, edge pixels repeated beyond the region as libjpeg pads them.
    double planes[3][32][32];
    for (int y = 0; y < unitH; ++y) {
        const int sy = std::min(region.Top + unitY * unitH + y, region.Bottom - 1);
        for (int x = 0; x < unitW; ++x) {
            const int sx = std::min(region.Left + unitX * unitW + x, region.Right - 1);
            const std::uint8_t* p = pixels.PixelPtr(sx, sy);
            const double b = p[0], g = p[1], r = p[2];
            planes[0][y][x] = 0.299 * r + 0.587 * g + 0.114 * b;
            planes[1][y][x] = -0.168735892 * r - 0.331264108 * g + 0.5 * b + 128.0;
            planes[2][y][x] = 0.5 * r - 0.418687589 * g - 0.081312411 * b + 128.0;
        }
    }
    for (std::size_t c = 0; c < components.size(); ++c) {
        const TComponent& component = m_components[c];
        TOutputComponent& output = components[c];
        const int stepX = m_maxH / component.H;
        const int stepY = m_maxV / component.V;
        const std::uint16_t* quant = m_quant[component.QuantSlot].data();
        for (int by = 0; by < component.V; ++by)
            for (int bx = 0; bx < component.H; ++bx) {
                double samples[8][8];
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) {
                        double sum = 0;
                        for (int dy = 0; dy < stepY; ++dy)
                            for (int dx = 0; dx < stepX; ++dx)
                                sum += planes[c][(by * 8 + y) * stepY + dy][(bx * 8 + x) * stepX + dx];
                        samples[y][x] = sum / (stepX * stepY) - 128.0;
                    }
                double rows[8][8]; // horizontal transform of each row
                for (int y = 0; y < 8; ++y)
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int x = 0; x < 8; ++x)
                            sum += basis.Value[u][x] * samples[y][x];
                        rows[y][u] = sum;
                    }
                std::int16_t* block =
                    output.UnitRows[unitY] + (static_cast<std::size_t>(by) * output.BlocksWide +
                                              static_cast<std::size_t>(unitX) * component.H + bx) *
                                                 64;
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int y = 0; y < 8; ++y)
                            sum += basis.Value[v][y] * rows[y][u];
                        const double q = std::nearbyint(sum / quant[v * 8 + u]);
                        block[v * 8 + u] = static_cast<std::int16_t>(Clamp(q, -32767.0, 32767.0));
                    }
            }
    }
}

bool TJpegCodec::Save(const std::string& path, const TQpPixels& current, const TQpPixels* reference,
                      const TQpRect& region, TJpegSaveMode mode, const TQpRect* changed)
{
    if (!m_holds || current.Format != pfBGR24 || current.Width != m_width || current.Height != m_height ||
        region.IsEmpty() || region.Left < 0 || region.Top < 0 || region.Right > m_width ||
        region.Bottom > m_height)
        return false;
    const bool referenceFits = reference && reference->Format == pfBGR24 && reference->Width == m_width &&
                               reference->Height == m_height;
    const bool aligned = mode == TJpegSaveMode::KeepUnchangedBlocks && referenceFits && m_inStep &&
                         region.Left % BlockWidth() == 0 && region.Top % BlockHeight() == 0;
    const TQpRect suspect = changed ? IntersectRect(*changed, region) : region;
    auto sameRows = [&](int left, int top, int right, int bottom) {
        const TQpRect rows = IntersectRect({left, top, right, bottom}, suspect);
        for (int y = rows.Top; y < rows.Bottom; ++y)
            if (std::memcmp(current.PixelPtr(rows.Left, y), reference->PixelPtr(rows.Left, y),
                            static_cast<std::size_t>(rows.Width()) * 3) != 0)
                return false;
        return true;
    };
    const TQpRect whole{0, 0, m_width, m_height};
    m_lastSaveCopied = false;
    if (aligned && m_pristine && region == whole && sameRows(0, 0, m_width, m_height)) {
        m_lastSaveCopied = WriteBytes(path, m_bytes.data(), m_bytes.size());
        return m_lastSaveCopied;
    }
    const bool keep = aligned && EnsureCoefficients();

    const int unitsWide = CeilDiv(region.Width(), BlockWidth());
    const int unitsHigh = CeilDiv(region.Height(), BlockHeight());
    // The units to encode, found first so that only their rows need storage of their own.
    std::vector<std::uint8_t> encode(static_cast<std::size_t>(unitsWide) * unitsHigh, keep ? 0 : 1);
    std::vector<int> bandRows; // rows of units holding one to encode
    for (int unitY = 0; unitY < unitsHigh; ++unitY) {
        const int top = region.Top + unitY * BlockHeight();
        const int bottom = std::min(top + BlockHeight(), region.Bottom);
        bool any = !keep;
        // Whole rows first: one comparison per row finds the unchanged rows of units, which are nearly all.
        if (keep && !sameRows(region.Left, top, region.Right, bottom))
            for (int unitX = 0; unitX < unitsWide; ++unitX) {
                const int left = region.Left + unitX * BlockWidth();
                if (!sameRows(left, top, std::min(left + BlockWidth(), region.Right), bottom)) {
                    encode[static_cast<std::size_t>(unitY) * unitsWide + unitX] = 1;
                    any = true;
                }
            }
        if (any)
            bandRows.push_back(unitY);
    }

    std::vector<TOutputComponent> components(m_components.size());
    for (std::size_t c = 0; c < m_components.size(); ++c) {
        const TComponent& source = m_components[c];
        TOutputComponent& target = components[c];
        target.BlocksWide = unitsWide * source.H;
        target.BlocksHigh = unitsHigh * source.V;
        const std::size_t rowLength = static_cast<std::size_t>(target.BlocksWide) * 64;
        target.Rows.assign(static_cast<std::size_t>(target.BlocksHigh), nullptr);
        target.UnitRows.assign(static_cast<std::size_t>(unitsHigh), nullptr);
        if (!target.Band.Allocate(bandRows.size() * source.V * rowLength))
            return false;
        const int offsetX = region.Left / BlockWidth() * source.H;
        const int offsetY = region.Top / BlockHeight() * source.V;
        auto sourceRow = [&](int y) {
            return source.Coefs.data() +
                   ((static_cast<std::size_t>(offsetY) + y) * source.BlocksWide + offsetX) * 64;
        };
        if (keep)
            for (int y = 0; y < target.BlocksHigh; ++y)
                target.Rows[y] = sourceRow(y);
        for (std::size_t band = 0; band < bandRows.size(); ++band) {
            const int unitY = bandRows[band];
            std::int16_t* rows = target.Band.data() + band * source.V * rowLength;
            target.UnitRows[unitY] = rows;
            for (int by = 0; by < source.V; ++by) {
                const int y = unitY * source.V + by;
                if (keep)
                    std::memcpy(rows + by * rowLength, sourceRow(y), rowLength * sizeof(std::int16_t));
                target.Rows[y] = rows + by * rowLength;
            }
        }
    }
    for (int unitY : bandRows)
        for (int unitX = 0; unitX < unitsWide; ++unitX)
            if (encode[static_cast<std::size_t>(unitY) * unitsWide + unitX])
                EncodeUnit(current, region, unitX, unitY, components);
    return Write(path, components, region.Width(), region.Height());
}

bool TJpegCodec::Write(const std::string& path, const std::vector<TOutputComponent>& components, int width,
                       int height) const
{
    TWriteJob job{};
    TServedRows served{};
    std::array<std::vector<JBLOCKROW>, 4> rows;
    served.Count = static_cast<int>(components.size());
    job.Served = &served;
    job.Width = width;
    job.Height = height;
    job.Components = static_cast<int>(components.size());
    std::array<bool, 4> slotUsed{};
    for (std::size_t c = 0; c < components.size(); ++c) {
        const TComponent& component = m_components[c];
        job.Ids[c] = component.Id;
        job.H[c] = component.H;
        job.V[c] = component.V;
        job.QuantSlot[c] = component.QuantSlot;
        job.BlocksWide[c] = components[c].BlocksWide;
        job.BlocksHigh[c] = components[c].BlocksHigh;
        // The library only reads these rows; its row type is not const.
        for (const std::int16_t* row : components[c].Rows)
            rows[c].push_back(reinterpret_cast<JBLOCKROW>(const_cast<std::int16_t*>(row)));
        served.Rows[c] = rows[c].data();
        served.BlocksWide[c] = components[c].BlocksWide;
        served.BlocksHigh[c] = components[c].BlocksHigh;
        slotUsed[component.QuantSlot] = true;
    }
    for (int slot = 0; slot < 4; ++slot)
        job.Quant[slot] = slotUsed[slot] ? m_quant[slot].data() : nullptr;
    job.Progressive = m_progressive;
    job.Jfif = m_jfif || components.size() != 1;
    job.DensityUnit = m_jfif ? m_densityUnit : 0;
    job.DensityX = m_jfif ? m_densityX : 1;
    job.DensityY = m_jfif ? m_densityY : 1;
    std::vector<int> codes;
    std::vector<const std::uint8_t*> data;
    std::vector<unsigned> lengths;
    for (const TMarker& marker : m_markers) {
        codes.push_back(marker.Code);
        data.push_back(marker.Data.data());
        lengths.push_back(static_cast<unsigned>(marker.Data.size()));
    }
    job.MarkerCount = static_cast<int>(codes.size());
    job.MarkerCodes = codes.data();
    job.MarkerData = data.data();
    job.MarkerLengths = lengths.data();

    TCompressGuard guard;
    TJpegErrorManager error;
    InitErrorManager(error);
    guard.Info.err = &error.Pub;
    const bool ok = WriteCoefficients(&guard.Info, &error, &job);
    std::unique_ptr<unsigned char, decltype(&std::free)> output(job.Output, &std::free);
    return ok && WriteBytes(path, job.Output, job.OutputSize);
}

} // namespace platform
