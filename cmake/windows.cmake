# Windows tree: static C++ runtime so that every binary imports system DLLs only.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-Wall -Wextra)
add_link_options(-static -static-libgcc -static-libstdc++)

# Each test program runs under Wine in code page 1252 and again in 936.
function(zandle_add_wine_test target)
  cmake_parse_arguments(ARG "DISPLAY" "" "" ${ARGN})
  foreach(cp 1252 936)
    set(name ${target}.cp${cp})
    add_test(NAME ${name} COMMAND ${target})
    set(env ZANDLE_CODEPAGE=${cp})
    if(ARG_DISPLAY)
      list(APPEND env ZANDLE_NEEDS_DISPLAY=1)
    endif()
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
  endforeach()
endfunction()
