# Warnings for our own code only; third-party headers come in as SYSTEM. Errors where the
# build asks for them (scripts/test.sh does), so a newer compiler cannot break a user's build.
option(NORVOSMS_WERROR "Treat compiler warnings as errors" OFF)
function(norvosms_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra $<$<BOOL:${NORVOSMS_WERROR}>:-Werror>)
endfunction()

# A GoogleTest executable registered with CTest as one test. NORVOSMS_GTEST_ENV_<name>, where
# set, adds to its environment (the Windows build's code page and Linux-only cases).
#   norvosms_gtest(NAME n SOURCES ... [LIBS ...] [LABELS ...] [FIXTURES ...] [ENV k=v ...] [TIMEOUT s])
function(norvosms_gtest)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;FIXTURES;ENV" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  norvosms_warnings(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} norvosms_test_support GTest::gtest GTest::gmock
    GTest::gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "NORVOSMS_SOURCE_DIR=${CMAKE_SOURCE_DIR};NORVOSMS_BUILD_DIR=${CMAKE_BINARY_DIR};QT_QPA_PLATFORM=offscreen;${T_ENV};${NORVOSMS_GTEST_ENV_${T_NAME}}")
  if(T_LABELS)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_FIXTURES)
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
    # Tests of one fixture share its service (the sandbox's plans and log): one at a time.
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_FIXTURES}")
  endif()
endfunction()

# A libFuzzer target with its seed corpus in the repo; in a fuzz build CTest runs it
# for NORVOSMS_FUZZ_SECONDS on a copy of the corpus (label "fuzz").
#   norvosms_fuzzer(NAME n SOURCES ... LIBS ... CORPUS dir)
set(NORVOSMS_FUZZ_SECONDS 60 CACHE STRING "Seconds each fuzzer runs under CTest")
function(norvosms_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  norvosms_warnings(${F_NAME})
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${F_NAME}
    COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-fuzzer.sh $<TARGET_FILE:${F_NAME}> ${F_CORPUS}
            ${CMAKE_BINARY_DIR}/fuzz-work/${F_NAME} ${NORVOSMS_FUZZ_SECONDS})
  set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz TIMEOUT 7200)
endfunction()

# Windows programs and the DLL carry their C and C++ runtimes, so they need only system DLLs.
if(WIN32)
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
