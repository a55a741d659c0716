// The camera's public functions that belong to no one subsystem.
#include "sim/camera.h"

#include "protocol/commands.h"
#include "sim/server.h"

namespace qzr::sim {
namespace {

constexpr std::uint8_t kTrigger[] = {0x01, 0x05, 0x06};

}  // namespace

Fault Fault::DropPacket(std::uint16_t number)
{
    Fault fault = DropReply();
    fault.command = CMD_GET_PACKET;
    fault.packet = number;
    return fault;
}

Camera::Camera(CameraOptions options) : m_server(std::make_unique<Server>(std::move(options))) {}
Camera::~Camera() = default;

bool Camera::Start(std::string* error) { return m_server->Start(error); }
void Camera::Stop() { m_server->Stop(); }
std::string Camera::DevicePath() const { return m_server->DevicePath(); }
std::string Camera::LinkPath() const { return m_server->LinkPath(); }
std::uint8_t Camera::CurrentId() const { return m_server->CurrentId(); }
std::uint32_t Camera::CurrentBaud() const { return m_server->CurrentBaud(); }
void Camera::AddFault(const Fault& fault, int replies) { m_server->AddFault(fault, replies); }
void Camera::ClearFaults() { m_server->ClearFaults(); }
void Camera::SetAnswering(bool answering) { m_server->SetAnswering(answering); }
std::vector<Bytes> Camera::ReceivedFrames() const { return m_server->ReceivedFrames(); }
CameraStats Camera::Stats() const { return m_server->Stats(); }

void Camera::SendText(const std::string& text) { SendRaw(Bytes(text.begin(), text.end())); }

void Camera::SendTrigger() { SendRaw(Bytes(std::begin(kTrigger), std::end(kTrigger))); }

void Camera::SendRaw(const Bytes& bytes)
{
    m_server->Post([bytes](Context& context) { context.Send(bytes); });
}

bool Camera::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    return m_server->WaitUntil([count](const CameraStats& s) { return s.framesReceived >= count; }, timeout);
}

bool Camera::WaitUntil(const std::function<bool(const CameraStats&)>& condition, std::chrono::milliseconds timeout) const
{
    return m_server->WaitUntil(condition, timeout);
}

}  // namespace qzr::sim
