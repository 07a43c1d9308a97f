#include "files/file_error.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <utility>

using namespace Qt::StringLiterals;

namespace tavomi {

namespace {

std::string platformText(int errnum) {
    std::string text = std::strerror(errnum);
    // flock's EWOULDBLOCK reads "Resource temporarily unavailable"; say what it means here.
    if (errnum == EWOULDBLOCK) {
        text = "in use by another program (" + text + ")";
    }
    return text;
}

std::string describe(const std::filesystem::path& path, const std::string& action,
                     const std::string& cause) {
    return action + " " + path.string() + ": " + cause;
}

QString japaneseAction(const std::string& action) {
    static const std::pair<const char*, const char16_t*> kActions[] = {
        {"cannot create the lock file", u"ロック用のファイルを作ることができませんでした"},
        {"cannot create", u"ファイルを作ることができませんでした"},
        {"cannot open for appending",
         u"記録用のファイルを書き込むために開くことができませんでした"},
        {"cannot write", u"ファイルに書き込むことができませんでした"},
        {"cannot restore", u"書き込みに失敗したファイルを元に戻すことができませんでした"},
        {"cannot read", u"ファイルを読み込むことができませんでした"},
        {"cannot open", u"ファイルを開くことができませんでした"},
        {"cannot close", u"ファイルを閉じることができませんでした"},
    };
    for (const auto& [english, japanese] : kActions) {
        if (action == english) {
            return QString::fromUtf16(japanese);
        }
    }
    return u"ファイルを扱うことができませんでした"_s;
}

// The system's reason, with Japanese words first for the common ones.
QString japaneseReason(int errnum, const std::string& cause) {
    static const std::pair<int, const char16_t*> kReasons[] = {
        {EWOULDBLOCK, u"ほかのプログラムが使用中です"},
        {EACCES, u"このアカウントには書き込みが許可されていません"},
        {EPERM, u"この操作は許可されていません"},
        {ENOENT, u"ファイルがありません"},
        {ENOSPC, u"ディスクの空きがありません"},
        {EDQUOT, u"ディスクの割り当てを超えました"},
        {EROFS, u"読み取り専用のファイルシステムです"},
        {EIO, u"入出力エラーです（ファイルサーバーやネットワークを確かめてください）"},
        {EFBIG, u"ファイルが大きすぎます"},
        {EILSEQ, u"シフトJIS（CP932）の文字として読めないバイトがあります"},
    };
    const QString system = QString::fromLocal8Bit(cause);
    for (const auto& [number, japanese] : kReasons) {
        if (errnum == number) {
            return QString::fromUtf16(japanese) + QChar(u'（') + system + QChar(u'）');
        }
    }
    return system;
}

}  // namespace

FileError::FileError(const std::filesystem::path& path, const std::string& action, int errnum)
    : FileError(path, action, errnum, platformText(errnum)) {}

FileError::FileError(const std::filesystem::path& path, const std::string& action, int errnum,
                     const std::string& cause)
    : std::runtime_error(describe(path, action, cause)),
      path_(path),
      action_(action),
      cause_(cause),
      errnum_(errnum) {}

QString FileError::japaneseText() const {
    return japaneseAction(action_) + u"\r\n\r\nファイル："_s + QFile::decodeName(path_.c_str()) +
           u"\r\n理由："_s + japaneseReason(errnum_, cause_);
}

}  // namespace tavomi
