# A text/ file that reaches up into ui/: the layer check must refuse it.
set(LAYER "text")
set(ALLOWED "text;files;base")
set(FILES "${CMAKE_CURRENT_LIST_DIR}/wrong_way.cpp.txt")
