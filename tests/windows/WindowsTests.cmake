# The Windows build's tests (included by tests/CMakeLists.txt). Every build checks the DLL's
# export table; the test suites run under Wine64, so only the x86_64 build has them (this
# machine's kernel runs no 32-bit programs, so the i686 build is checked by its exports alone).
add_test(NAME windows_dll_exports
  COMMAND ${CMAKE_COMMAND} -DMAP=${CMAKE_SOURCE_DIR}/api/exports/NorvoSMS.map -DDLL=$<TARGET_FILE:NorvoSMS>
          "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:NorvoSMS>,|>" -DOBJDUMP=${CMAKE_OBJDUMP} -DNM=${CMAKE_NM}
          -P ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_dll_exports.cmake)
set_tests_properties(windows_dll_exports PROPERTIES TIMEOUT 60)

if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
  message(STATUS "Windows ${CMAKE_SYSTEM_PROCESSOR}: only the export table is checked (no 32-bit Wine here)")
  return()
endif()
find_program(NORVOSMS_WINE NAMES wine REQUIRED)
# One Wine prefix per build tree, made by scripts/windows-test.sh (wineboot) before CTest runs.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix
    WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= ${NORVOSMS_WINE})

# GoogleTest from Debian's sources, built with the same toolchain.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

add_library(norvosms_test_support INTERFACE)
norvosms_include_view(TARGET norvosms_test_support SCOPE INTERFACE FOLDERS tests)
target_compile_options(norvosms_test_support INTERFACE
  -include ${CMAKE_CURRENT_SOURCE_DIR}/windows/posix_environment.h)

# Wine takes the ANSI code page from the locale: the tests that ask for 949 get a Korean one.
foreach(test xml_cp949_test api_result_document_cp949_test xmlrpc_client_test api_sending_test
             api_documents_concurrency_test)
  list(APPEND NORVOSMS_GTEST_ENV_${test} LC_ALL=ko_KR.UTF-8)
endforeach()

# Cases that hold what the Linux layer says, not what WinInet says, stay Linux-only:
# - a connection the server resets or closes: WinInet reports it as "Connection aborted" or a
#   status it could not read, where the Linux layer says "Connection reset"/"Connection aborted";
# - certificate and address failures: trust comes from the Root store (where the sandbox's
#   authority now is, so "unknown authority" cannot be staged), and WinInet words 12038 itself;
# - the deadline of NORVOSMS_TIMEOUT, which only the Linux layer has (WinInet waits 999 s);
# - texts in the UTF-8 code page (NORVOSMS_ACP=65001), which Wine does not offer as ANSI code page;
# - a character outside the BMP: Windows writes one default character per UTF-16 unit ("??");
# - the count of the process's threads, read from /proc;
# - a kept connection that dies under a request: WinInet itself sends the request once more on
#   a fresh connection (its own rule, which no flag turns off), where the Linux layer refuses;
# - TLS session resumption, which is the system's TLS stack's affair under WinInet.
set(linux_layer_cases
  "xmlrpc_client_test|-XmlRpcClientTest.AnswersAndFailuresFromTheService:XmlRpcClientTest.CertificatesAreCheckedByDefault:XmlRpcClientTest.UnreachableEndpoints"
  "api_frame_test|-CallServiceTest.OutcomesAsTheCallerSeesThem:CallServiceTest.UnknownAuthorityRefusedUnlessInsecureTlsIsAskedFor"
  "api_calls_test|-ApiCallsTest.TransportFailureGivesErrorAndKeepsTheBuffer"
  "api_result_document_cp949_test|-ResultDocumentCp949.CharactersMissingFromTheCodePageBecomeQuestionMarks"
  "api_sending_test|-Sending.StartTwiceStartsEachWorkerOnce"
  "api_connection_reuse_test|-ConnectionReuse.StopAndFreeReturnWithinTheDeadlineWhateverTheServerDoes:ConnectionReuse.ARequestWhoseKeptConnectionDiesIsNotSentAgain:ConnectionReuse.ANewConnectionResumesTheTlsSession"
  "wire_cases_test|-*connection_reset*:*connection_closed*:*transport_reset*:*_demo:*add_group_new")
foreach(entry ${linux_layer_cases})
  string(REPLACE "|" ";" entry "${entry}")
  list(GET entry 0 test)
  list(GET entry 1 filter)
  list(APPEND NORVOSMS_GTEST_ENV_${test} "GTEST_FILTER=${filter}")
endforeach()

add_subdirectory(sandbox)
add_subdirectory(windows)
add_subdirectory(xml)
add_subdirectory(xmlrpc)
add_subdirectory(api)
add_subdirectory(updater)
add_subdirectory(wire)
