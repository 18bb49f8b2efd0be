#include "ZipTestKit.h"
