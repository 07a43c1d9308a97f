#pragma once
// How the office's tools write to the terminal, and in which language.

#include "report/text_table.h"

#include <QString>

#include <cstdio>

namespace tavomi {

class FileError;

// The tools' names, which begin their messages.
inline constexpr const char* kCardTool = "tavomi-card";
inline constexpr const char* kReportTool = "tavomi-report";
inline constexpr const char* kOfficeTool = "tavomi-office";

// Installs the tools' Japanese messages when the system's locale is Japanese (as
// QLocale::system() reads LC_ALL, LC_MESSAGES, LANG and LANGUAGE); otherwise they stay in
// English, the language of the source. Call once, after the application object is made.
void loadToolTranslation();

// A file error as the tools tell it: in Japanese the time clock's own words on one line
// (what failed, the file, the reason), else the English text with the system's reason.
QString fileErrorText(const FileError& error);

// Writes the text as UTF-8 and flushes, so that prompts show before a wait.
void print(std::FILE* stream, const QString& text);

// One line "<tool>: <text>": the tools' refusals, warnings and errors.
void printToolLine(std::FILE* stream, const char* tool, const QString& text);

}  // namespace tavomi
