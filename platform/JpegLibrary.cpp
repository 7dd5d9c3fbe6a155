#include "platform/JpegLibrary.h"

#include "platform/ImageCodec.h"
#include "platform/JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

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
    // Where the data ran out: the image rows read by then and the scan it was in.
    int TruncatedRow;
    int TruncatedScan;
};

void JpegErrorExit(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<TJpegErrorManager*>(info->err)->Jump, 1);
}

void JpegEmitMessage(j_common_ptr info, int level)
{
    // A file that ends early only warns, and would come out with a grey bottom: treat it as broken.
    auto* manager = reinterpret_cast<TJpegErrorManager*>(info->err);
    if (level >= 0 || info->err->msg_code != JWRN_JPEG_EOF || manager->Truncated)
        return;
    manager->Truncated = true;
    if (info->is_decompressor) {
        const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
        manager->TruncatedRow = static_cast<int>(std::min<long long>(
            static_cast<long long>(decompress->input_iMCU_row) * decompress->max_v_samp_factor * DCTSIZE,
            decompress->image_height));
        manager->TruncatedScan = decompress->input_scan_number;
    }
}

void InitErrorManager(TJpegErrorManager& manager)
{
    jpeg_std_error(&manager.Pub);
    manager.Pub.error_exit = JpegErrorExit;
    manager.Pub.emit_message = JpegEmitMessage;
    manager.Truncated = false;
    manager.TruncatedRow = 0;
    manager.TruncatedScan = 0;
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

// The library's view of a write: the job with its rows served in place and the markers as plain arrays,
// so the function that calls setjmp keeps only plain values in its frame.
struct TWriteCall
{
    const TJpegWriteJob* Job;
    TServedRows* Served;
    const int* MarkerCodes;
    const std::uint8_t* const* MarkerData;
    const unsigned* MarkerLengths;
    unsigned char* Output;
    unsigned long OutputSize;
};

bool WriteCoefficients(jpeg_compress_struct* info, TJpegErrorManager* error, TWriteCall* call)
{
    if (setjmp(error->Jump))
        return false;
    const TJpegWriteJob* job = call->Job;
    const int components = static_cast<int>(job->Components.size());
    jpeg_create_compress(info);
    ServeRows(reinterpret_cast<j_common_ptr>(info), call->Served);
    jpeg_mem_dest(info, &call->Output, &call->OutputSize);
    info->image_width = static_cast<JDIMENSION>(job->Width);
    info->image_height = static_cast<JDIMENSION>(job->Height);
    info->input_components = components;
    info->in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_YCbCr;
    jpeg_set_defaults(info);
    jpeg_set_colorspace(info, components == 1 ? JCS_GRAYSCALE : JCS_YCbCr);
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
    for (int c = 0; c < components; ++c) {
        jpeg_component_info& component = info->comp_info[c];
        component.component_id = job->Components[c].Id;
        component.h_samp_factor = job->Components[c].H;
        component.v_samp_factor = job->Components[c].V;
        component.quant_tbl_no = job->Components[c].QuantSlot;
        arrays[c] = ServedArray(call->Served, c);
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
    const int markers = static_cast<int>(job->Markers.size());
    for (int m = 0; m < markers; ++m)
        jpeg_write_marker(info, call->MarkerCodes[m], call->MarkerData[m], call->MarkerLengths[m]);
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

int TransformOp(TJpegByteTransform transform)
{
    switch (transform) {
    case TJpegByteTransform::FlipHorizontal:
        return TJXOP_HFLIP;
    case TJpegByteTransform::FlipVertical:
        return TJXOP_VFLIP;
    case TJpegByteTransform::RotateRight:
        return TJXOP_ROT90;
    case TJpegByteTransform::RotateLeft:
        return TJXOP_ROT270;
    case TJpegByteTransform::None:
        break;
    }
    return TJXOP_NONE;
}

} // namespace

// The decompressor stays open after Read, for TakeCoefficients to reach the library's arrays. Members are
// destroyed in reverse: the served rows and storage first, the decompressor last.
struct TJpegReader::TState
{
    TDecompressGuard Guard;
    TJpegErrorManager Error;
    std::array<TJpegCoefficients, 4> Storage;
    TServedRows Served{};
    TReadJob Job{};
    bool Read = false;
};

TJpegReader::TJpegReader() = default;

TJpegReader::~TJpegReader() = default;

bool TJpegReader::Read(const std::uint8_t* data, std::size_t size, bool headerOnly)
{
    m_state = std::make_unique<TState>();
    m_header = {};
    TState& state = *m_state;
    InitErrorManager(state.Error);
    state.Guard.Info.err = &state.Error.Pub;
    state.Served.Storage = state.Storage.data();
    state.Job = {data, size, headerOnly, nullptr, &state.Served};
    if (!ReadHeaderAndCoefficients(&state.Guard.Info, &state.Error, &state.Job))
        return false;
    const jpeg_decompress_struct& info = state.Guard.Info;
    m_header.Width = static_cast<int>(info.image_width);
    m_header.Height = static_cast<int>(info.image_height);
    m_header.MaxH = info.max_h_samp_factor;
    m_header.MaxV = info.max_v_samp_factor;
    m_header.Progressive = info.progressive_mode != 0;
    m_header.Jfif = info.saw_JFIF_marker != 0;
    m_header.DensityUnit = info.density_unit;
    m_header.DensityX = std::max<int>(1, info.X_density);
    m_header.DensityY = std::max<int>(1, info.Y_density);
    m_header.Components.resize(static_cast<std::size_t>(info.num_components));
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& source = info.comp_info[c];
        TJpegHeader::TComponent& component = m_header.Components[c];
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
            m_header.Quant[component.QuantSlot][k] = table->quantval[k];
    }
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        const bool jfif = marker->marker == JPEG_APP0 && marker->data_length >= 5 &&
                          std::memcmp(marker->data, "JFIF", 5) == 0;
        const bool adobe = marker->marker == JPEG_APP0 + 14;
        if (!jfif && !adobe)
            m_header.Markers.push_back(
                {marker->marker,
                 std::vector<std::uint8_t>(marker->data, marker->data + marker->data_length)});
    }
    state.Read = !headerOnly;
    return true;
}

bool TJpegReader::TakeCoefficients(const int* blocksWide, const int* blocksHigh,
                                   TJpegCoefficients* coefficients)
{
    if (!m_state || !m_state->Read)
        return false;
    TState& state = *m_state;
    const int components = static_cast<int>(m_header.Components.size());
    bool inPlace = state.Served.Count == components;
    for (int c = 0; inPlace && c < components; ++c)
        inPlace = state.Served.BlocksWide[c] == blocksWide[c] && state.Served.BlocksHigh[c] == blocksHigh[c];
    if (inPlace) {
        for (int c = 0; c < components; ++c)
            coefficients[c] = std::move(state.Storage[c]);
        return true;
    }
    // The library sized its arrays otherwise than the grid: copy block by block.
    TCopyJob copy{state.Job.Arrays, components, {}, {}, {}};
    for (int c = 0; c < components; ++c) {
        if (!coefficients[c].Allocate(static_cast<std::size_t>(blocksWide[c]) * blocksHigh[c] * 64))
            return false;
        copy.Dest[c] = coefficients[c].data();
        copy.BlocksWide[c] = blocksWide[c];
        copy.BlocksHigh[c] = blocksHigh[c];
    }
    return CopyCoefficients(&state.Guard.Info, &state.Error, &copy);
}

bool WriteJpegCoefficients(const TJpegWriteJob& job, TJpegBuffer& output, std::size_t& size)
{
    const int components = static_cast<int>(job.Components.size());
    if (components < 1 || components > 4)
        return false;
    TServedRows served{};
    std::array<std::vector<JBLOCKROW>, 4> rows;
    served.Count = components;
    for (int c = 0; c < components; ++c) {
        const TJpegWriteJob::TComponent& component = job.Components[c];
        // The library only reads these rows; its row type is not const.
        for (int y = 0; y < component.BlocksHigh; ++y)
            rows[c].push_back(reinterpret_cast<JBLOCKROW>(const_cast<std::int16_t*>(component.Rows[y])));
        served.Rows[c] = rows[c].data();
        served.BlocksWide[c] = component.BlocksWide;
        served.BlocksHigh[c] = component.BlocksHigh;
    }
    std::vector<int> codes;
    std::vector<const std::uint8_t*> data;
    std::vector<unsigned> lengths;
    for (const TJpegWriteJob::TMarker& marker : job.Markers) {
        codes.push_back(marker.Code);
        data.push_back(marker.Data);
        lengths.push_back(marker.Length);
    }
    TWriteCall call{&job, &served, codes.data(), data.data(), lengths.data(), nullptr, 0};

    TCompressGuard guard;
    TJpegErrorManager error;
    InitErrorManager(error);
    guard.Info.err = &error.Pub;
    const bool ok = WriteCoefficients(&guard.Info, &error, &call);
    output = TJpegBuffer(call.Output, &std::free);
    size = call.OutputSize;
    return ok;
}

bool TransformJpegBytes(const std::vector<std::uint8_t>& bytes, TJpegByteTransform transform,
                        const TQpRect* crop, std::vector<std::uint8_t>& output)
{
    tjhandle handle = tjInitTransform();
    if (!handle)
        return false;
    tjtransform operation{};
    operation.op = TransformOp(transform);
    operation.options = TJXOPT_PERFECT;
    if (crop) {
        operation.options |= TJXOPT_CROP;
        operation.r = {crop->Left, crop->Top, crop->Width(), crop->Height()};
    }
    unsigned char* result = nullptr;
    unsigned long size = 0;
    const int status = tjTransform(handle, bytes.data(), static_cast<unsigned long>(bytes.size()), 1, &result,
                                   &size, &operation, 0);
    tjDestroy(handle);
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(result,
                                                                   [](unsigned char* p) { tjFree(p); });
    if (status != 0 || !result)
        return false;
    output.assign(result, result + size);
    return true;
}

bool JpegCutExtent(const std::uint8_t* data, std::size_t size, int& rows, bool& laterPasses)
{
    TJpegReader reader;
    if (reader.Read(data, size, false))
        return false;
    return reader.CutExtent(rows, laterPasses);
}

bool TJpegReader::CutExtent(int& rows, bool& laterPasses) const
{
    if (!m_state || !m_state->Error.Truncated)
        return false;
    rows = m_state->Error.TruncatedRow;
    // A progressive file that ends in a later scan has every row, only with less detail.
    laterPasses = m_state->Guard.Info.progressive_mode && m_state->Error.TruncatedScan > 1;
    return true;
}

} // namespace platform
