#pragma once

namespace tavomi::test {

// The first line of keeper.txt (without its CR LF): every journal the tests, benchmarks and
// tools write begins with it.
inline constexpr char16_t kJournalHeader[] = u"区分,氏名,日付,時刻,記録方法,詳細,事由";

}  // namespace tavomi::test
