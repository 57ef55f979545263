#pragma once

#define QL_VERSION_NUMBERS 1, 0, 0, 0
#define QL_VERSION_TEXT "1.0.0"
