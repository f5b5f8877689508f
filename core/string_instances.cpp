// std::string's members, instantiated for the shipping launcher; link-time
// optimisation keeps only the ones used. Without them, the first member that
// a libstdc++ object needs and the program does not define links the
// library's complete copy of the class (about 33 KB, all of it kept: the
// linker cannot drop functions that have unwind information on this target).
#include <string>

template class std::basic_string<char>;
