# The libmpv media control against real files made with sox and ffmpeg,
# offscreen and without a sound card. Included from
# tests/integration/CMakeLists.txt.
add_executable(tst_mpvmedia ${CMAKE_CURRENT_LIST_DIR}/tst_mpvmedia.cpp)
set_target_properties(tst_mpvmedia PROPERTIES AUTOMOC ON)
target_link_libraries(tst_mpvmedia PRIVATE qyr_media_mpv Qt6::Test Qt6::Widgets)
add_test(NAME mpvmedia COMMAND tst_mpvmedia)
set_tests_properties(mpvmedia PROPERTIES
  TIMEOUT 300
  ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
