#include "platform/listcontrols.h"
