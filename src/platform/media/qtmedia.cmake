# The media control on Qt Multimedia, its own library so that only the
# program and its integration tests link it. Included from src/CMakeLists.txt.
add_library(qyr_media_qt STATIC platform/media/qtmedia.cpp)
set_target_properties(qyr_media_qt PROPERTIES AUTOMOC ON)
target_link_libraries(qyr_media_qt PUBLIC qyrcore Qt6::Widgets Qt6::Multimedia)
