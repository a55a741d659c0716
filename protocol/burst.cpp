#include "protocol/burst.h"

#include <algorithm>

#include "protocol/commands.h"

namespace qzr {
namespace {

constexpr std::size_t kShootPayload = 10;
constexpr std::size_t kListPayload = 10;
constexpr std::size_t kGetFilePayload = 20;
constexpr std::size_t kTimeBytes = 6;

void PutTime(Bytes& out, const CameraTime& t)
{
    for (int value : {t.year - 2000, t.month, t.day, t.hour, t.minute, t.second})
        out.push_back(static_cast<std::uint8_t>(value & 0xFF));
}

CameraTime TimeAt(const std::uint8_t* p) { return {2000 + p[0], p[1], p[2], p[3], p[4], p[5]}; }

Bytes Stamped(std::uint8_t cameraId, std::uint8_t command, std::span<const std::uint8_t> payload)
{
    Bytes frame = BuildFrame(cameraId, command, payload);
    StampCrc(frame);
    return frame;
}

}  // namespace

Bytes BuildBurstShootRequest(std::uint8_t cameraId, const BurstShootRequest& request)
{
    Bytes payload = {request.resolution, request.quality, request.shots, request.interval};
    PutTime(payload, request.time);
    return BuildFrame(cameraId, CMD_BURST_SHOOT, payload);
}

std::optional<BurstShootRequest> ParseBurstShootRequest(std::span<const std::uint8_t> frame)
{
    const auto p = FramePayload(frame, CMD_BURST_SHOOT, kShootPayload);
    if (!p)
        return std::nullopt;
    return BurstShootRequest{(*p)[0], (*p)[1], (*p)[2], (*p)[3], TimeAt(p->data() + 4)};
}

Bytes BuildBurstStatus(std::uint8_t cameraId, std::uint8_t state, std::uint8_t shotsTaken)
{
    const std::uint8_t payload[] = {shotsTaken, state, 0, 0};
    return Stamped(cameraId, CMD_IMAGE_READY, payload);
}

std::optional<std::uint8_t> ParseBurstState(std::span<const std::uint8_t> frame)
{
    if (frame.size() <= burst::kStatusOffset)
        return std::nullopt;
    return frame[burst::kStatusOffset];
}

Bytes BuildListFilesRequest(std::uint8_t cameraId, const ListFilesRequest& request)
{
    Bytes payload = {0x00, request.count, static_cast<std::uint8_t>(request.after ? 1 : 0), burst::kListAnchor};
    if (request.from)
        PutTime(payload, *request.from);
    else
        payload.insert(payload.end(), kTimeBytes, 0);
    return BuildFrame(cameraId, CMD_LIST_FILES, payload);
}

std::optional<ListFilesRequest> ParseListFilesRequest(std::span<const std::uint8_t> frame)
{
    const auto p = FramePayload(frame, CMD_LIST_FILES, kListPayload);
    if (!p)
        return std::nullopt;
    ListFilesRequest request{(*p)[1], (*p)[2] == 1, std::nullopt};
    const auto time = p->subspan(4, kTimeBytes);
    if (std::any_of(time.begin(), time.end(), [](std::uint8_t b) { return b != 0; }))
        request.from = TimeAt(time.data());
    return request;
}

Bytes BuildFileListReply(std::uint8_t cameraId, std::span<const std::string> names)
{
    Bytes payload;
    payload.reserve(names.size() * burst::kEntryLength);
    for (const std::string& name : names) {
        const std::size_t length = std::min(name.size(), burst::kNameLength);
        payload.insert(payload.end(), name.begin(), name.begin() + static_cast<std::ptrdiff_t>(length));
        payload.insert(payload.end(), burst::kEntryLength - length, 0);
    }
    return Stamped(cameraId, CMD_FILE_LIST, payload);
}

std::vector<std::span<const std::uint8_t>> FileListEntries(std::span<const std::uint8_t> frame)
{
    std::vector<std::span<const std::uint8_t>> entries;
    const std::size_t announced = LengthField(frame) / burst::kEntryLength;
    for (std::size_t i = 0; i < announced; ++i) {
        const std::size_t at = frame::kPayloadOffset + i * burst::kEntryLength;
        if (at + burst::kEntryLength > frame.size())
            break;
        entries.push_back(frame.subspan(at, burst::kEntryLength));
    }
    return entries;
}

std::string_view FileEntryText(std::span<const std::uint8_t> entry)
{
    const auto end = std::find(entry.begin(), entry.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(entry.data()), static_cast<std::size_t>(end - entry.begin())};
}

Bytes BuildGetFileRequest(std::uint8_t cameraId, const GetFileRequest& request)
{
    Bytes payload = {static_cast<std::uint8_t>(request.packetSize & 0xFF),
                     static_cast<std::uint8_t>(request.packetSize >> 8)};
    const std::size_t length = std::min(request.name.size(), burst::kNameLength);
    payload.insert(payload.end(), request.name.begin(), request.name.begin() + static_cast<std::ptrdiff_t>(length));
    payload.resize(kGetFilePayload, 0);
    return BuildFrame(cameraId, CMD_GET_FILE, payload);
}

std::optional<GetFileRequest> ParseGetFileRequest(std::span<const std::uint8_t> frame)
{
    const auto p = FramePayload(frame, CMD_GET_FILE, kGetFilePayload);
    if (!p)
        return std::nullopt;
    return GetFileRequest{ReadLe16(p->data()), std::string(FileEntryText(p->subspan(2, burst::kNameLength)))};
}

bool IsExactlyOneFrame(std::span<const std::uint8_t> bytes)
{
    return bytes.size() > frame::kPayloadOffset && bytes.size() == LengthField(bytes) + frame::kOverhead;
}

}  // namespace qzr
