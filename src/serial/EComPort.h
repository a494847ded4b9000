#pragma once
// The serial port's exception: a message code (1 to 23, the index into the
// message table) and the system's error code (errno on POSIX), or -1 when the
// failure has none. The message is the table's text, followed by
// " (win error code: %d)" when there is a system code.
#include <stdexcept>
#include <string>

namespace serial {

// Message codes in use.
enum ComErrorCode {
  CError_OpenFailed = 1,
  CError_WriteFailed = 2,
  CError_ReadFailed = 3,
  CError_InvalidAsync = 4,
  CError_PurgeFailed = 5,
  CError_AsyncCheck = 6,
  CError_SetStateFailed = 7,
  CError_TimeoutsFailed = 8,
  CError_SetupComFailed = 9,
  CError_ClearComFailed = 10,
  CError_ModemStatFailed = 11,
  CError_EscapeComFailed = 12,
  CError_TransmitFailed = 13,
  CError_ConnChangeProp = 14,
  CError_EnumPortsFailed = 15,
  CError_StoreFailed = 16,
  CError_LoadFailed = 17,
  CError_RegFailed = 18,
  CError_LedStateFailed = 19,
  CError_ThreadCreated = 20,
  CError_WaitFailed = 21,
  CError_HasLink = 22,
  CError_RegError = 23,
};

inline constexpr int kComErrorMessageCount = 23;

class EComPort : public std::runtime_error {
 public:
  EComPort(int messageCode, int systemCode = -1);

  int MessageCode;
  int SystemCode;
};

// The translated text of a message code ("" outside 1 to 23). The table and
// the suffix are translated once, at the first use or at
// SetupComErrorMessages, with the text domain "cport"; without a catalog the
// English texts stand.
const std::string& ComErrorMessage(int messageCode);

// Binds the text domain "cport" to the catalogs under localeDir
// (<localeDir>/<lang>/LC_MESSAGES/cport.mo), asks for Windows-1250 texts and
// translates the table. Call once at program start, before any EComPort;
// an empty localeDir keeps the system's default catalog folder.
void SetupComErrorMessages(const std::string& localeDir);

}  // namespace serial
