# The same file's includes that stay in text/ and below: the layer check lets them pass.
set(LAYER "text")
set(ALLOWED "text;files;base")
set(FILES "${CMAKE_CURRENT_LIST_DIR}/right_way.cpp.txt")
