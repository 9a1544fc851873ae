# Protections against a memory-safety fault, for every program and library the
# build makes: the product in every configuration, the tests and the tools of
# the tests alike. cmake/check-elf-hardening and cmake/check-pe-hardening read
# them back from the built files (CTest tests elf_hardening and pe_hardening,
# and scripts/test-release on dist/).
#
# Linux: a position-independent executable, relocations read-only after start-up
# (-z relro) with every symbol bound at start-up (-z now) so the GOT is
# read-only too, a stack that is not executable, a canary in every function
# with an array or an address-taken local (-fstack-protector-strong), the
# string and memory calls of the C library checked against the size of the
# object written (_FORTIFY_SOURCE=3: sizes known at run time too), and
# ENDBR64 landing pads and shadow-stack-safe code (-fcf-protection).
#
# Windows: ASLR with relocations kept (--dynamicbase) and DEP (--nxcompat), as
# ld makes by default, said here so that no change of default drops them; the
# canary, whose run-time library libssp is linked in statically (-static: the
# driver's -lssp then takes libssp.a, not the import library of libssp-0.dll).
# The mingw-w64 headers of Debian 12 have no fortified calls for C++, and GCC
# makes neither SafeSEH tables nor Control Flow Guard for this target.
#
# The sanitizers replace the C library's string and memory calls with checked
# ones of their own, which the fortified calls would bypass; fortification
# needs an optimising build in any case (none in Debug).
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "the hardening flags are written for GCC and Clang")
endif()

add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>)
# At the link too: mingw-w64's driver adds libssp only when it sees the option.
add_link_options(-fstack-protector-strong)

if(WIN32)
    add_link_options(-static LINKER:--dynamicbase LINKER:--nxcompat)
    # The canaries make the code bigger; the stripped vantrel.exe stays within
    # 1 MiB when the functions and data that nothing uses are left out.
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections$<SEMICOLON>-fdata-sections>)
    add_link_options(LINKER:--gc-sections)
else()
    # -fPIE for every object, the libraries' too (CMake's own switch would
    # compile those -fPIC, which keeps GCC from inlining across their
    # functions); Debian's GCC does the same by default.
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fPIE>)
    add_link_options($<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie>)
    add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fcf-protection>)
    add_link_options(LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
    if(NOT VANTREL_SANITIZE AND NOT VANTREL_FUZZ)
        add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=3>)
    endif()
endif()
