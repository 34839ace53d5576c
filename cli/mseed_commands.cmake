# The miniSEED options (--network, --components) shared by translate, record and get.
target_sources(nereid PRIVATE ${CMAKE_CURRENT_LIST_DIR}/mseed_options.cpp)
