#pragma once

#include <QString>

// Text that comes from outside the tool (a column's value, a record's note or key, a line of a file), as the
// terminal and the window show it: every control character is made visible, so that none can move the
// cursor, retitle a terminal, overwrite what was printed before it or reorder a line. A C0 control and DEL
// become their control pictures (ESC "␛", CR "␍", TAB "␉"); any other control, a line or paragraph
// separator and the characters that reorder text (bidirectional overrides and isolates) become "\u202E".
QString visibleText(const QString &text);

// The same for a text of several lines, a cause as a driver or the system gives it: each line made visible,
// the breaks between them kept (a CR LF as one).
QString visibleLines(const QString &text);
