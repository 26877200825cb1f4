// The export tests' song maker, shared with this program.
#include "../../platform/media/MediaTestSongs.cpp"
