// Message texts for the DirectX result codes the engine reports.
#pragma once

#include <span>

#include "platform/CString.h"
#include "platform/WinTypes.h"

// The full message for `code`: a "DirectX Error…:\n" heading followed by a
// one-sentence description. Codes without an entry give the unknown-error
// text. The returned string is static.
const char* DirectXErrorText(HRESULT code);

// The description alone, without the heading: the sentence after "\n".
const char* DirectXErrorDescription(HRESULT code);

// Why a file cannot be used, from an errno value: the description of its
// file-system code ("The file does not exist.", "Permission denied.", "It is
// a directory, not a file.", ...), or the system's text for other values.
CString SystemErrorDescription(int err);

// Every code that has its own message, in ascending unsigned order.
std::span<const HRESULT> DirectXErrorCodes();

// The text used for codes that have no entry.
inline constexpr const char* kUnknownDirectXErrorText = "DirectX Error:\nUnknown DirectX Error.";
