# korvel_add_test(<name> <sources>... LINK <libraries>...)
# One test executable per class or subsystem, linked with the narrowest of our
# libraries it needs, registered with CTest and run without a display, under
# the C locale whatever the machine's: the programs speak German there.
function(korvel_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "LINK")
    add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ${arg_LINK} Qt6::Test)
    set(env "QT_QPA_PLATFORM=offscreen" "LC_ALL=" "LC_MESSAGES=" "LANGUAGE=")
    if(KORVEL_SANITIZE)
        list(APPEND env
            "ASAN_OPTIONS=halt_on_error=1:detect_leaks=1"
            "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
            "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env};LANG=C" TIMEOUT 300)
endfunction()
