#pragma once

namespace tavomi {

// Installs Qt's own Japanese texts (qtbase_ja from Qt's translations folder, package
// qt6-translations-l10n) when the system's locale is Japanese, so that the standard dialogs
// and buttons (save, open, colours, キャンセル) speak the office's language. True when they
// were installed. Call once, after the application object is made.
bool loadQtTranslation();

}  // namespace tavomi
