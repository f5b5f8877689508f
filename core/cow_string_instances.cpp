// libstdc++'s exception classes (std::runtime_error and the others) keep
// their text in the library's older, reference-counted std::string. Its
// members are instantiated here for the shipping launcher, and link-time
// optimisation keeps only the ones used; without them the linker takes the
// library's complete copy of that class (about 31 KB, all of it kept), and
// the parts of std::random_device that come with it.
#define _GLIBCXX_USE_CXX11_ABI 0
#include <string>

template class std::basic_string<char>;
