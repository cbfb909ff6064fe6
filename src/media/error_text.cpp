#include "media/error_text.h"

#include <cerrno>
#include <iterator>

extern "C" {
#include <libavutil/error.h>
}

namespace reelsmith {

namespace {

struct TErrorRow {
    int Code;
    const char* Text;
};

// First match wins. Windows Sockets codes and FFmpeg's own codes keep their numbers; the C-runtime
// rows use the Linux errno of the same meaning. The "Unknown error" rows name no error of their
// own, so they come last and never hide a named Linux errno.
constexpr TErrorRow kErrorTable[] = {
    // Windows Sockets
    {-10004, "Interrupted function call"},
    {-10009, "Bad file number"},
    {-10013, "Permission denied"},
    {-10014, "Bad address"},
    {-10022, "Invalid argument / Invalid data found when processing input"},
    {-10024, "Too many open files"},
    {-10063, "File name too long"},
    {-10066, "Directory not empty"},
    {-10062, "Too many symbolic links encountered"},
    {-10071, "Too many levels of remote in path"},
    {-10068, "Too many users"},
    {-10038, "Socket operation on non-socket"},
    {-10039, "Destination address required"},
    {-10040, "Message too long"},
    {-10041, "Protocol wrong type for socket"},
    {-10042, "Protocol not available"},
    {-10043, "Protocol not supported"},
    {-10044, "Socket type not supported"},
    {-10045, "Operation not supported on transport endpoint"},
    {-10046, "Protocol family not supported"},
    {-10047, "Address family not supported by protocol"},
    {-10048, "Address already in use"},
    {-10049, "Cannot assign requested address"},
    {-10050, "Network is down"},
    {-10051, "Network is unreachable"},
    {-10052, "Network dropped connection because of reset"},
    {-10053, "Software caused connection abort"},
    {-10054, "Connection reset by peer"},
    {-10055, "No buffer space available"},
    {-10056, "Transport endpoint is already connected"},
    {-10057, "Transport endpoint is not connected"},
    {-10058, "Cannot send after transport endpoint shutdown"},
    {-10059, "Too many references: cannot splice"},
    {-10060, "Connection timed out"},
    {-10061, "Connection refused"},
    {-10064, "Host is down"},
    {-10065, "No route to host"},
    {-10037, "Operation already in progress"},
    {-10036, "Operation now in progress"},
    {-10070, "Stale NFS file handle"},
    {-10069, "Quota exceeded"},
    {-10035, "WSAEWOULDBLOCK"},
    {-10067, "WSAEPROCLIM"},
    {-10101, "WSAEDISCON"},
    {-10091, "WSASYSNOTREADY"},
    {-10092, "WSAVERNOTSUPPORTED"},
    {-10093, "WSANOTINITIALISED"},
    {-11001, "WSAHOST_NOT_FOUND"},
    {-11002, "WSATRY_AGAIN"},
    {-11003, "WSANO_RECOVERY"},
    {-11004, "WSANO_DATA"},
    {-10102, "WSAENOMORE"},
    {-10103, "WSAECANCELLED"},
    {-10104, "WSAEINVALIDPROCTABLE"},
    {-10105, "WSAEINVALIDPROVIDER"},
    {-10106, "WSAEPROVIDERFAILEDINIT"},
    {-10107, "WSASYSCALLFAILURE"},
    {-10108, "WSASERVICE_NOT_FOUND"},
    {-10109, "WSATYPE_NOT_FOUND"},
    {-10110, "WSA_E_NO_MORE"},
    {-10111, "WSA_E_CANCELLED"},
    {-10112, "WSAEREFUSED"},
    // FFmpeg
    {AVERROR_BSF_NOT_FOUND, "Bitstream filter not found"},
    {AVERROR_BUG, "Internal bug, should not have happened"},
    {AVERROR_BUG2, "Internal bug, should not have happened"},
    {AVERROR_BUFFER_TOO_SMALL, "Buffer too small"},
    {AVERROR_DECODER_NOT_FOUND, "Decoder not found"},
    {AVERROR_DEMUXER_NOT_FOUND, "Demuxer not found"},
    {AVERROR_ENCODER_NOT_FOUND, "Encoder not found"},
    {AVERROR_EOF, "End of file"},
    {AVERROR_EXIT, "Immediate exit requested"},
    {AVERROR_EXTERNAL, "Generic error in an external library"},
    {AVERROR_FILTER_NOT_FOUND, "Filter not found"},
    {AVERROR_INVALIDDATA, "Invalid data found when processing input"},
    {AVERROR_MUXER_NOT_FOUND, "Muxer not found"},
    {AVERROR_OPTION_NOT_FOUND, "Option not found"},
    {AVERROR_PATCHWELCOME, "Not yet implemented in FFmpeg, patches welcome"},
    {AVERROR_PROTOCOL_NOT_FOUND, "Protocol not found"},
    {AVERROR_STREAM_NOT_FOUND, "Stream not found"},
    {AVERROR_UNKNOWN, "Unknown error occurred"},
    {AVERROR_EXPERIMENTAL,
     "Requested feature is flagged experimental. Set strict_std_compliance if you really want to use it."},
    {AVERROR_INPUT_CHANGED,
     "Input changed between calls. Reconfiguration is required. (can be OR-ed with AVERROR_OUTPUT_CHANGED)"},
    {AVERROR_OUTPUT_CHANGED,
     "Output changed between calls. Reconfiguration is required. (can be OR-ed with AVERROR_INPUT_CHANGED)"},
    {AVERROR_HTTP_BAD_REQUEST, "HTTP or RTSP error: bad request(400)"},
    {AVERROR_HTTP_UNAUTHORIZED, "HTTP or RTSP error: unauthorized(401)"},
    {AVERROR_HTTP_FORBIDDEN, "HTTP or RTSP error: forbidden(403)"},
    {AVERROR_HTTP_NOT_FOUND, "HTTP or RTSP error: not found(404)"},
    {AVERROR_HTTP_OTHER_4XX, "HTTP or RTSP error: other error(4xx)"},
    {AVERROR_HTTP_SERVER_ERROR, "HTTP or RTSP error: server error(5xx)"},
    // C runtime, by Linux errno
    {-EPERM, "Operation not permitted"},
    {-ENOENT, "No such file or directory"},
    {-ESRCH, "No such process"},
    {-EINTR, "Interrupted function call"},
    {-EIO, "I/O error"},
    {-ENXIO, "No such device or address"},
    {-E2BIG, "Argument list too long"},
    {-ENOEXEC, "Exec format error"},
    {-EBADF, "Bad file number"},
    {-ECHILD, "No child processes"},
    {-EAGAIN, "Resource temporarily unavailable / Try again"},
    {-ENOMEM, "Not enough space / Out of memory"},
    {-EACCES, "Permission denied"},
    {-EFAULT, "Bad address"},
    {-EBUSY, "Device or resource busy"},
    {-EEXIST, "File exists"},
    {-EXDEV, "Cross-device link"},
    {-ENODEV, "No such device"},
    {-ENOTDIR, "Not a directory"},
    {-EISDIR, "Is a directory"},
    {-EINVAL, "Invalid argument / Invalid data found when processing input"},
    {-ENFILE, "Too many open files in system / File table overflow"},
    {-EMFILE, "Too many open files"},
    {-ENOTTY, "Inappropriate I/O control operation / Not a typewriter"},
    {-EFBIG, "File too large"},
    {-ENOSPC, "No space left on device"},
    {-ESPIPE, "Illegal seek"},
    {-EROFS, "Read-only file system"},
    {-EMLINK, "Too many links"},
    {-EPIPE, "Broken pipe"},
    {-EDOM, "Math argument out of domain of func"},
    {-ERANGE, "Math result not representable"},
    {-EDEADLK, "Resource deadlock avoided"},
    {-ENAMETOOLONG, "File name too long"},
    {-ENOLCK, "No locks available"},
    {-ENOSYS, "Function not implemented"},
    {-ENOTEMPTY, "Directory not empty"},
    {-ELOOP, "Too many symbolic links encountered"},
    {-EPROTO, "Protocol error"},
    {-EOVERFLOW, "Value too large for defined data type"},
    {-EILSEQ, "Illegal byte sequence"},
    {-ENOTSOCK, "Socket operation on non-socket"},
    {-EDESTADDRREQ, "Destination address required"},
    {-EMSGSIZE, "Message too long"},
    {-EPROTOTYPE, "Protocol wrong type for socket"},
    {-ENOPROTOOPT, "Protocol not available"},
    {-EPROTONOSUPPORT, "Protocol not supported"},
    {-EOPNOTSUPP, "Operation not supported on transport endpoint"},
    {-EAFNOSUPPORT, "Address family not supported by protocol"},
    {-EADDRINUSE, "Address already in use"},
    {-EADDRNOTAVAIL, "Cannot assign requested address"},
    {-ENETDOWN, "Network is down"},
    {-ENETUNREACH, "Network is unreachable"},
    {-ENETRESET, "Network dropped connection because of reset"},
    {-ECONNABORTED, "Software caused connection abort"},
    {-ECONNRESET, "Connection reset by peer"},
    {-ENOBUFS, "No buffer space available"},
    {-EISCONN, "Transport endpoint is already connected"},
    {-ENOTCONN, "Transport endpoint is not connected"},
    {-ETIMEDOUT, "Connection timed out"},
    {-ECONNREFUSED, "Connection refused"},
    {-EHOSTUNREACH, "No route to host"},
    {-EALREADY, "Operation already in progress"},
    {-EINPROGRESS, "Operation now in progress"},
    {-ECANCELED, "Operation Canceled"},
    {-EOWNERDEAD, "Owner died"},
    {-ENOTRECOVERABLE, "State not recoverable"},
    // Numbers without a meaning of their own; only numbers no row above names still read so.
    {-15, "Unknown error"},
    {-26, "Unknown error"},
    {-91, "Unknown error"},
    {-90, "Unknown error"},
    {-99, "Unknown error"},
    {-96, "Unknown error"},
    {-101, "Unknown error"},
    {-98, "Unknown error"},
    {-71, "Unknown error"},
    {-97, "Unknown error"},
    {-95, "Unknown error"},
    {-94, "Unknown error"},
    {-68, "Unknown error"},
    {-44, "Unknown error"},
    {-46, "Unknown error"},
    {-58, "Unknown error"},
    {-59, "Unknown error"},
    {-64, "Unknown error"},
    {-70, "Unknown error"},
};

std::string LookUp(int code)
{
    for (const TErrorRow& row : kErrorTable)
        if (row.Code == code)
            return row.Text;
    return "Error number " + std::to_string(code) + " occurred";
}

}  // namespace

std::string ErrorText(int code, const std::string& prefix)
{
    std::string text = LookUp(code);
    return prefix.empty() ? text : prefix + ": " + text;
}

}  // namespace reelsmith
