# Image files, thumbnails and image records: the ".xmg" reader and writer, the
# ".thb" store and the Snimok rows. A library of its own on top of the picture
# code and the database layer. Paths are relative to images/.
add_library(imagefiles STATIC
    ${CMAKE_CURRENT_LIST_DIR}/datafolders.cpp
    ${CMAKE_CURRENT_LIST_DIR}/savefaults.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xmgfile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/xmgpicturefile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thumbnails.cpp
    ${CMAKE_CURRENT_LIST_DIR}/iconrecord.cpp
    ${CMAKE_CURRENT_LIST_DIR}/snimokdb.cpp
)
target_link_libraries(imagefiles PUBLIC tf_options images database foundation comdlg32)
