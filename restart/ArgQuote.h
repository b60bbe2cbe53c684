// Quoting for a double-quoted argument that the C runtime splits back into
// exactly the original text.
#pragma once

#include "../afx/afxstr.h"

// Writes lpszValue as it must stand between the double quotes of one argument:
// a double quote becomes backslash + double quote, and the backslashes right
// before a double quote or at the end of the value are doubled. Every other
// byte, backslashes elsewhere included, is copied unchanged, and a double-byte
// character is copied whole, so its trail byte is never read as a quote or a
// backslash. FALSE for a NULL lpszValue or exhausted memory (strResult is then
// unchanged).
BOOL QuoteArgumentText(LPCSTR lpszValue, CString& strResult);
