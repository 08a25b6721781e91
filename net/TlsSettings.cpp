#include "net/TlsSettings.h"

namespace kestrel {

ChannelSecurity SecurityFromSetting(int value) {
    switch (value) {
        case 1:
            return ChannelSecurity::StartTls;
        case 2:
            return ChannelSecurity::OnConnect;
        default:
            return ChannelSecurity::None;
    }
}

}  // namespace kestrel
