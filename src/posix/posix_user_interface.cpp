#include "posix_user_interface.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "posix_text_codec.h"

namespace zendra::posix {

namespace {

// Writes bytes to a C stream and flushes it.
void writeBytes(std::FILE* stream, const std::string& bytes) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

// One line read from standard input, without its line feed; nullopt at end of input.
std::optional<std::string> readLine() {
    std::string line;
    for (int c = std::fgetc(stdin); c != EOF; c = std::fgetc(stdin)) {
        if (c == '\n') return line;
        line.push_back(static_cast<char>(c));
    }
    if (line.empty()) return std::nullopt;
    return line;
}

}  // namespace

BoxAnswer answerFromLine(const std::string& line) {
    std::string word;
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c))) word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return word == "y" || word == "yes" ? BoxAnswer::Yes : BoxAnswer::No;
}

BoxAnswer PosixUserInterface::messageBox(WindowRef /*owner*/, const std::string& text, const std::string& caption,
                                         BoxStyle style) {
    const std::string message = caption.empty() ? text : caption + ": " + text;
    if (style == BoxStyle::ErrorOk) {
        writeBytes(stderr, message + "\n");
        return BoxAnswer::Ok;
    }
    if (::isatty(STDIN_FILENO) == 0) {
        writeBytes(stderr, message + "\n");
        return BoxAnswer::No;
    }
    writeBytes(stderr, message + " [y/N] ");
    const std::optional<std::string> line = readLine();
    if (!line) writeBytes(stderr, "\n");
    return line ? answerFromLine(*line) : BoxAnswer::No;
}

BoxAnswer PosixUserInterface::messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                                          BoxStyle style) {
    return messageBox(owner, utf16ToUtf8(text).text, utf16ToUtf8(caption).text, style);
}

void PosixUserInterface::writeStderr(const std::string& text) { writeBytes(stderr, text); }

void PosixUserInterface::writeStderrW(const std::u16string& text) { writeBytes(stderr, utf16ToUtf8(text).text); }

void PosixUserInterface::writeStdout(const std::string& text) { writeBytes(stdout, text); }

}  // namespace zendra::posix
