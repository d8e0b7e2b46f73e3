#include "picture/textexception.h"

CTextException::CTextException(int code, const char* text) : m_Code(code), m_Text(text ? text : "") {}
