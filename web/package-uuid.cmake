# emscripten's file packager stamps every build's vorndemo.js with a random
# package UUID (the key of a browser cache the page does not use).  This puts
# in its place a UUID made from the data package's hash, so that the same
# sources give the same site, byte for byte.
#   cmake -DJS=<site>/vorndemo.js -DDATA=<site>/vorndemo.data -P package-uuid.cmake
file(SHA256 ${DATA} data_hash)
string(UUID package_uuid NAMESPACE 6ba7b811-9dad-11d1-80b4-00c04fd430c8 NAME ${data_hash} TYPE SHA1)
file(READ ${JS} script)
string(REGEX REPLACE "\"package_uuid\":\"[-0-9a-f]*\"" "\"package_uuid\":\"${package_uuid}\"" fixed "${script}")
if(NOT fixed STREQUAL script)
  file(WRITE ${JS} "${fixed}")
endif()
