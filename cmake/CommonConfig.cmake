# Compiler settings shared by every target of the project, as INTERFACE targets:
# kelvra_common for the programs and libraries, kelvra_test_common for tests (string literals allowed).
add_library(kelvra_warnings INTERFACE)
target_compile_features(kelvra_warnings INTERFACE cxx_std_20)
target_compile_options(kelvra_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
target_compile_definitions(kelvra_warnings INTERFACE
    QT_NO_URL_CAST_FROM_STRING QT_NO_FOREACH QT_NO_KEYWORDS QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

option(KELVRA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KELVRA_SANITIZE)
    target_compile_options(kelvra_warnings INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(kelvra_warnings INTERFACE -fsanitize=address,undefined)
endif()

add_library(kelvra_common INTERFACE)
target_link_libraries(kelvra_common INTERFACE kelvra_warnings)
target_compile_definitions(kelvra_common INTERFACE QT_NO_CAST_FROM_ASCII)

add_library(kelvra_test_common INTERFACE)
target_link_libraries(kelvra_test_common INTERFACE kelvra_warnings)
target_compile_definitions(kelvra_test_common INTERFACE QT_RESTRICTED_CAST_FROM_ASCII)
