// The one shared behaviour of every byte stream: a single byte written as a one-element write.
#include "image/gw_file.h"

bool GwFile::PutC(unsigned char c) { return Write(&c, 1, 1) == 1; }
