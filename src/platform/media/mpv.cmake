# The media control on libmpv, its own library so that only the program and
# the integration tests link mpv. Included from src/CMakeLists.txt.
add_library(qyr_media_mpv STATIC platform/media/mpvmedia.cpp)
set_target_properties(qyr_media_mpv PROPERTIES AUTOMOC ON)
target_link_libraries(qyr_media_mpv PUBLIC qyrcore Qt6::Widgets PkgConfig::MPV)
