#pragma once

#include <QString>

namespace download {

// The longest file name, in bytes of UTF-8, that every supported file system
// accepts (255 UTF-16 units on Windows never hold fewer bytes than that).
constexpr int kMaxFileNameBytes = 255;

// `stem` + `suffix` as one file name that is safe on Windows and Linux alike:
// path separators, characters those systems refuse, control characters and a
// leading dot (which would hide the file) become "_"; characters that change
// how the name reads without showing themselves (direction overrides and
// marks, zero-width characters, C1 controls) are dropped; other text (Chinese
// included) is kept, and the stem is cut at a character boundary so the whole
// name fits in kMaxFileNameBytes. With a suffix such as ".mp3" the name can
// never lead out of the folder it is put in.
QString safeFileName(const QString &stem, const QString &suffix);

// `text` without C0 and C1 control characters (line breaks and escapes among them).
QString withoutControls(const QString &text);

} // namespace download
