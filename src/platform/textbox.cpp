#include "platform/textbox.h"
