#pragma once

#include <QString>

namespace folvan::platform {

// Why a file operation failed, in the interface's language. The system
// words its errors in English; the common causes (a file of that name
// exists, no permission, no space left, a read-only disk) are said in
// Chinese, and the system's own text follows in parentheses only where it
// adds something to the cause (a path, a detail). Any other text is kept
// as the system gave it.

// The error of the system error number `code`.
QString systemErrorText(int code);
// An error text of the system or of Qt ("Destination file exists",
// "Cannot open x: Permission denied").
QString describedSystemError(const QString &systemText);

} // namespace folvan::platform
