// Texts of the completion and error codes that our VISA library returns.
#include "visa.h"

#include <cstdio>
#include <cstring>

namespace {
struct StatusText
{
    ViStatus status;
    const char *name;
    const char *text;
};

const StatusText statusTexts[] = {
    {VI_SUCCESS, "VI_SUCCESS", "Operation completed successfully."},
    {VI_SUCCESS_TERM_CHAR, "VI_SUCCESS_TERM_CHAR", "The specified termination character was read."},
    {VI_SUCCESS_MAX_CNT, "VI_SUCCESS_MAX_CNT",
     "The number of bytes read is equal to the input count."},
    {VI_WARN_UNKNOWN_STATUS, "VI_WARN_UNKNOWN_STATUS",
     "The status code passed to the operation could not be interpreted."},
    {VI_WARN_NSUP_ATTR_STATE, "VI_WARN_NSUP_ATTR_STATE",
     "Although the specified state of the attribute is valid, it is not supported by this "
     "implementation."},
    {VI_ERROR_SYSTEM_ERROR, "VI_ERROR_SYSTEM_ERROR", "Unknown system error."},
    {VI_ERROR_INV_OBJECT, "VI_ERROR_INV_OBJECT",
     "The given session or object reference is invalid."},
    {VI_ERROR_RSRC_LOCKED, "VI_ERROR_RSRC_LOCKED",
     "Specified type of lock cannot be obtained or specified operation cannot be performed, "
     "because the resource is locked."},
    {VI_ERROR_INV_EXPR, "VI_ERROR_INV_EXPR", "Invalid expression specified for search."},
    {VI_ERROR_RSRC_NFOUND, "VI_ERROR_RSRC_NFOUND",
     "Insufficient location information or the device or resource is not present in the "
     "system."},
    {VI_ERROR_INV_RSRC_NAME, "VI_ERROR_INV_RSRC_NAME", "Invalid resource reference specified."},
    {VI_ERROR_INV_ACC_MODE, "VI_ERROR_INV_ACC_MODE", "Invalid access mode."},
    {VI_ERROR_TMO, "VI_ERROR_TMO", "Timeout expired before operation completed."},
    {VI_ERROR_CLOSING_FAILED, "VI_ERROR_CLOSING_FAILED",
     "Unable to deallocate the previously allocated data structures corresponding to this "
     "session or object reference."},
    {VI_ERROR_NSUP_ATTR, "VI_ERROR_NSUP_ATTR",
     "The specified attribute is not defined or supported by the referenced session, event, "
     "or find list."},
    {VI_ERROR_NSUP_ATTR_STATE, "VI_ERROR_NSUP_ATTR_STATE",
     "The specified state of the attribute is not valid, or is not supported as defined by "
     "the session, event, or find list."},
    {VI_ERROR_ATTR_READONLY, "VI_ERROR_ATTR_READONLY", "The specified attribute is Read Only."},
    {VI_ERROR_RAW_WR_PROT_VIOL, "VI_ERROR_RAW_WR_PROT_VIOL",
     "Violation of raw write protocol occurred during transfer."},
    {VI_ERROR_RAW_RD_PROT_VIOL, "VI_ERROR_RAW_RD_PROT_VIOL",
     "Violation of raw read protocol occurred during transfer."},
    {VI_ERROR_OUTP_PROT_VIOL, "VI_ERROR_OUTP_PROT_VIOL",
     "Device reported an output protocol error during transfer."},
    {VI_ERROR_INP_PROT_VIOL, "VI_ERROR_INP_PROT_VIOL",
     "Device reported an input protocol error during transfer."},
    {VI_ERROR_BERR, "VI_ERROR_BERR", "Bus error occurred during transfer."},
    {VI_ERROR_INV_SETUP, "VI_ERROR_INV_SETUP",
     "Unable to start operation because setup is invalid (due to attributes being set to an "
     "inconsistent state)."},
    {VI_ERROR_ALLOC, "VI_ERROR_ALLOC",
     "Insufficient system resources to perform necessary memory allocation."},
    {VI_ERROR_IO, "VI_ERROR_IO", "Could not perform operation because of I/O error."},
    {VI_ERROR_INV_FMT, "VI_ERROR_INV_FMT", "A format specifier in the format string is invalid."},
    {VI_ERROR_NSUP_FMT, "VI_ERROR_NSUP_FMT",
     "A format specifier in the format string is not supported."},
    {VI_ERROR_NSUP_OPER, "VI_ERROR_NSUP_OPER",
     "The given session or object reference does not support this operation."},
    {VI_ERROR_USER_BUF, "VI_ERROR_USER_BUF",
     "A specified user buffer is not valid or cannot be accessed for the required size."},
    {VI_ERROR_RSRC_BUSY, "VI_ERROR_RSRC_BUSY",
     "The resource is valid, but VISA cannot currently access it."},
    {VI_ERROR_INV_PARAMETER, "VI_ERROR_INV_PARAMETER", "The value of a parameter is invalid."},
    {VI_ERROR_INV_SIZE, "VI_ERROR_INV_SIZE", "The specified size is invalid."},
    {VI_ERROR_INV_LENGTH, "VI_ERROR_INV_LENGTH", "Invalid length specified."},
    {VI_ERROR_CONN_LOST, "VI_ERROR_CONN_LOST",
     "The connection for the given session has been lost."},
    {VI_ERROR_MACHINE_NAVAIL, "VI_ERROR_MACHINE_NAVAIL",
     "The remote machine does not exist or is not accepting any connections."},
};
} // namespace

extern "C" ViStatus _VI_FUNC viStatusDesc(ViObject, ViStatus status, ViChar desc[])
{
    if (!desc)
        return VI_ERROR_USER_BUF;
    for (const StatusText &entry : statusTexts) {
        if (entry.status == status) {
            std::snprintf(desc, VI_FIND_BUFLEN, "%s: %s", entry.name, entry.text);
            return VI_SUCCESS;
        }
    }
    std::snprintf(desc, VI_FIND_BUFLEN, "Unknown status value 0x%08X.", unsigned(status));
    return VI_WARN_UNKNOWN_STATUS;
}
