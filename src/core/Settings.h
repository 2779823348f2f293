#pragma once

#include <QString>

// Reads one value from set.ini in the run directory, afresh on every call, with the rules of the
// Windows profile-file reader: section and key lose their leading bytes 0x00-0x20 (an empty one reads
// nothing), names match without regard to letter case, blanks around the value are dropped and one pair
// of enclosing quotation marks is removed; a value ends at a NUL byte and is cut to 10,239 bytes. A
// missing file, section or key gives the empty text. The file is GBK unless it starts with a UTF-8 or
// UTF-16LE byte-order mark.
QString readSetting(const QString& section, const QString& key);

// The same rules for any file; readSetting() calls it with runDirectory() + "/set.ini".
QString readSettingFrom(const QString& filePath, const QString& section, const QString& key);

// The longest value delivered, in bytes of the file's encoding.
inline constexpr int maxSettingBytes = 10239;
