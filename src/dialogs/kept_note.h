#pragma once
// What the screens add when the writer kept a record on this PC. No widgets: the
// widget-free logic of the screens builds its messages with it.

namespace tavomi {

// Follows a screen's success message when the record was kept on this PC.
inline constexpr const char16_t* kKeptOnThisPcNote =
    u"\r\n\r\nファイルサーバーが応答しないため、この記録はこのPCに保存しました\r\n"
    u"ファイルサーバーが応答したら自動で送ります";

}  // namespace tavomi
