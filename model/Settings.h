#pragma once

#include <QString>

class FieldSource;
class Form;

// Settings.ini: ten of the eleven fields, remembered between runs. It looks like an INI file but is
// read by position: the keys are written for the reader and never compared.
namespace Settings {

// Settings.ini in the folder of the running executable.
QString path();

// Never fails: a missing, unreadable or short file, or anything but a regular file, leaves every field it does
// not supply as it was. A UTF-8 or UTF-16 byte-order mark decides the encoding; without one the file is ANSI.
// Only the eleven lines used are read, and no more of a line than a settings file can need. Returns how many
// fields the file supplied, StoredFieldCount when it holds them all; named, when given, tells how many of them
// stand under their own key ("ServerName=", …) below a "[Settings]" header, as the tool writes them.
int load(Form &form, const QString &path, int *named = nullptr);

// How many fields a settings file holds, one a line after the section header.
constexpr int StoredFieldCount = 10;

// The file's bytes for the fields. Throws Failure naming the file and the field whose value cannot be written.
QByteArray encode(const FieldSource &fields, const QString &path);

// Where a save writes: path itself, or through a link that leads to a file of the user running the tool.
// Throws Failure naming the file for a link that leads elsewhere.
QString writtenPath(const QString &path);

// Whether save() could write the fields, found out without writing: what lies at the path and whether every
// field can be written. Throws the Failure that save() would.
void check(const FieldSource &fields, const QString &path);

// Throws Failure naming the file, and the field whose value cannot be written; the previous file stays intact
// when the save fails.
void save(const FieldSource &fields, const QString &path);

} // namespace Settings
