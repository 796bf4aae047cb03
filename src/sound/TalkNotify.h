// The private window message the playback notifier posts to the main window when a clip has
// stopped: first parameter the index of the event that was set (0 for the playback end),
// second parameter 0.
#pragma once

namespace movrek {

constexpr unsigned kTalkNotify = 0x0401;  // WM_USER + 1

}  // namespace movrek
