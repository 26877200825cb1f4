# The warnings every Quorvel target is built with. Qt, FFmpeg, Rubber Band,
# TagLib and GoogleTest come in through imported targets, whose headers are
# system headers (-isystem): their warnings are not ours to mend.
#
# Kept because they found faults here, or cost little and guard a class of
# them: a name that hides another (-Wshadow), a narrowing of a number that
# loses its value (-Wconversion, which takes in -Wfloat-conversion), a base
# deleted through a pointer without a virtual destructor, an override that
# hides an overload, a cast that drops const, a condition or branch written
# twice, a logical operator where a bitwise one was meant.
#
# Left out, as noise here: -Wsign-conversion (every index into a std::vector
# from Qt's signed sizes), -Wuseless-cast (the same cast is needed on another
# architecture), -Wnull-dereference (the optimizer's guesses, which change
# with the sanitizers), -Wold-style-cast (the C libraries' own macros),
# -Wdouble-promotion and -Wformat-nonliteral (the log's formatter builds its
# formats from checked parts).
option(QUORVEL_WERROR "Treat the compiler's warnings as errors" OFF)

set(QUORVEL_WARNINGS
    -Wall -Wextra
    -Wshadow
    -Wconversion
    -Wnon-virtual-dtor
    -Woverloaded-virtual
    -Wcast-qual
    -Wextra-semi
    -Wsuggest-override
    -Wmissing-declarations
    -Wundef
    -Wredundant-decls)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND QUORVEL_WARNINGS -Wduplicated-cond -Wduplicated-branches -Wlogical-op)
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # clang's -Wconversion also takes in -Wsign-conversion, which GCC leaves out.
  list(APPEND QUORVEL_WARNINGS -Wno-sign-conversion)
endif()
if(QUORVEL_WERROR)
  list(APPEND QUORVEL_WARNINGS -Werror)
  # GCC's flow analysis sees through the sanitizers' instrumentation badly: it
  # reports bounds and sizes it cannot prove (a QByteArray's shared empty
  # data, for one). Under the sanitizers those stay warnings; every other
  # build still fails on them.
  if(QUORVEL_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    list(APPEND QUORVEL_WARNINGS -Wno-error=array-bounds -Wno-error=stringop-overflow
         -Wno-error=stringop-overread -Wno-error=maybe-uninitialized)
  endif()
endif()
add_compile_options(${QUORVEL_WARNINGS})
