// The firmware query through the relay.
#include "relay/relay_query.h"

#include <algorithm>
#include <span>

#include "link/commands.h"
#include "link/link_state.h"
#include "link/message_loop.h"
#include "platform/codepage.h"
#include "resources/strings.h"

namespace telvora {

QueryAnswer QueryFirmwareThroughRelay(Cnet& net, std::u16string_view password) {
  FrameHeader header = MakeRequest(cmd::kFirmware, 0, 0, kTypeRead);
  Cfin::SetPassword(header, password);
  const TransferResult result = net.Transfer(header, 0, nullptr, kReadChunk);

  QueryAnswer answer;
  if (result.refused) {
    answer.status = QueryStatus::kRefused;
  } else if (result.complete && LastReplyHeader.length > 0) {
    // The text ends at its first zero byte, and within what the reply carried: anything
    // beyond would be left over from an earlier transfer.
    const std::size_t limit =
        std::min<std::size_t>(LastReplyHeader.length, kTransferBufferSize - 1);
    const auto* start = TransferBuffer.data();
    const auto* end = std::find(start, start + limit, std::uint8_t{0});
    answer.status = QueryStatus::kOk;
    answer.text = DecodeCp1250(std::span<const std::uint8_t>(start, end));
  }
  if (MessageLoop* loop = MainMessageLoop()) {
    loop->Post(WM_RELAY_STATUS, 0, kStrSocketClosed);
  }
  return answer;
}

}  // namespace telvora
