# Shared compile settings of every Logwarden target.
add_library(logwarden_options INTERFACE)
target_compile_features(logwarden_options INTERFACE cxx_std_20)
target_include_directories(logwarden_options INTERFACE ${CMAKE_SOURCE_DIR}/src)
target_compile_options(logwarden_options INTERFACE -Wall -Wextra -Wpedantic)
target_compile_definitions(logwarden_options INTERFACE
  QT_NO_KEYWORDS_FOR_SIGNALS QT_NO_CAST_FROM_BYTEARRAY
  LOGWARDEN_VERSION="${PROJECT_VERSION}" LOGWARDEN_APP_ID="${LOGWARDEN_APP_ID}")
if(LOGWARDEN_WERROR)
  target_compile_options(logwarden_options INTERFACE -Werror)
endif()
if(LOGWARDEN_SANITIZE)
  target_compile_options(logwarden_options INTERFACE
    -fsanitize=${LOGWARDEN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(logwarden_options INTERFACE -fsanitize=${LOGWARDEN_SANITIZE})
endif()
