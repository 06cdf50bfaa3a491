# The forms of the version that the program shows, for a few versions:
#   cmake -P tst_version.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../resources/version.cmake)

function(expect major minor patch record numeric longName title)
    kalvex_version_strings(${major} ${minor} ${patch})
    foreach(pair "KALVEX_VERSION_RECORD;${record}" "KALVEX_VERSION_NUMERIC;${numeric}"
                 "KALVEX_LONG_NAME;${longName}" "KALVEX_SHORT_NAME;RS Kalvex"
                 "KALVEX_PROGRAM_TITLE;${title}")
        list(GET pair 0 name)
        list(GET pair 1 wanted)
        if(NOT "${${name}}" STREQUAL "${wanted}")
            message(SEND_ERROR "${major}.${minor}.${patch}: ${name} is '${${name}}', not '${wanted}'")
        endif()
    endforeach()
endfunction()

expect(1 0 0 "1.00" "1,0,0,0" "RS232 CF Kalvex v1.0" "RS232 Kalvex v1.0")
expect(1 5 2 "1.05" "1,5,2,0" "RS232 CF Kalvex v1.5" "RS232 Kalvex v1.5")
expect(2 10 0 "2.10" "2,10,0,0" "RS232 CF Kalvex v2.10" "RS232 Kalvex v2.10")
expect(10 99 7 "10.99" "10,99,7,0" "RS232 CF Kalvex v10.99" "RS232 Kalvex v10.99")
