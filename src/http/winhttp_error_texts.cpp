#include "http/winhttp_error_texts.h"

#include "logging/log_core.h"
#include "runner/error_text.h"

namespace {

struct ErrorText {
  DWORD code;
  const char* text;
};

// One row per code, in ascending order. 12032 and 12184 share their text; 12169 has no line end.
constexpr ErrorText kTexts[] = {
    {12001,  // ERROR_WINHTTP_OUT_OF_HANDLES
     "HttpGetLastError: No more handles could be generated at this time (Obsolete; no longer used.)\n"},
    {12002,  // ERROR_WINHTTP_TIMEOUT
     "HttpGetLastError: The request has timed out.\n"},
    {12003,  // ERROR_INTERNET_EXTENDED_ERROR
     "HttpGetLastError: An extended error was returned from the server.\n"},
    {12004,  // ERROR_WINHTTP_INTERNAL_ERROR
     "HttpGetLastError: An internal error has occurred.\n"},
    {12005,  // ERROR_WINHTTP_INVALID_URL
     "HttpGetLastError: The URL is invalid.\n"},
    {12006,  // ERROR_WINHTTP_UNRECOGNIZED_SCHEME
     "HttpGetLastError: The URL scheme could not be recognized, or is not supported.(other than 'http:' or 'https:'.)\n"},
    {12007,  // ERROR_WINHTTP_NAME_NOT_RESOLVED
     "HttpGetLastError: The server name could not be resolved.\n"},
    {12008,  // ERROR_INTERNET_PROTOCOL_NOT_FOUND
     "HttpGetLastError: The requested protocol could not be located.\n"},
    {12009,  // ERROR_WINHTTP_INVALID_OPTION
     "HttpGetLastError: A request to InternetQueryOption or WinHttpSetOption specified an invalid option value.\n"},
    {12010,  // ERROR_INTERNET_BAD_OPTION_LENGTH
     "HttpGetLastError: The length of an option supplied to InternetQueryOption or WinHttpSetOption is incorrect for the type of option specified.\n"},
    {12011,  // ERROR_WINHTTP_OPTION_NOT_SETTABLE
     "HttpGetLastError: The request option can not be set, only queried.\n "},
    {12012,  // ERROR_WINHTTP_SHUTDOWN
     "HttpGetLastError: The WinHTTP function support is being shutdown or unloaded.\n"},
    {12013,  // ERROR_INTERNET_INCORRECT_USER_NAME
     "HttpGetLastError: The request to connect and login to an FTP server could not be completed because the supplied user name is incorrect.\n"},
    {12014,  // ERROR_INTERNET_INCORRECT_PASSWORD
     "HttpGetLastError: The request to connect and login to an FTP server could not be completed because the supplied password is incorrect.\n"},
    {12015,  // ERROR_WINHTTP_LOGIN_FAILURE
     "HttpGetLastError: The login attempt failed . A new request handle must be created before retrying the function that originally produced this error. \n"},
    {12016,  // ERROR_INTERNET_INVALID_OPERATION
     "HttpGetLastError: The requested operation is invalid.\n"},
    {12017,  // ERROR_WINHTTP_OPERATION_CANCELLED
     "HttpGetLastError: The operation was canceled, usually because the handle on which the request was operating was closed before the operation completed.\n"},
    {12018,  // ERROR_WINHTTP_INCORRECT_HANDLE_TYPE
     "HttpGetLastError: The type of handle supplied is incorrect for this operation.\n"},
    {12019,  // ERROR_WINHTTP_INCORRECT_HANDLE_STATE
     "HttpGetLastError: The requested operation can not be carried out because the handle supplied is not in the correct state.\n"},
    {12020,  // ERROR_INTERNET_NOT_PROXY_REQUEST
     "HttpGetLastError: The request can not be made via a proxy.\n"},
    {12021,  // ERROR_INTERNET_REGISTRY_VALUE_NOT_FOUND
     "HttpGetLastError: A required registry value could not be located.\n"},
    {12022,  // ERROR_INTERNET_BAD_REGISTRY_PARAMETER
     "HttpGetLastError: A required registry value was located but is an incorrect type or has an invalid value.\n"},
    {12023,  // ERROR_INTERNET_NO_DIRECT_ACCESS
     "HttpGetLastError: Direct network access cannot be made at this time. \n"},
    {12024,  // ERROR_INTERNET_NO_CONTEXT
     "HttpGetLastError: An asynchronous request could not be made because a zero context value was supplied.\n"},
    {12025,  // ERROR_INTERNET_NO_CALLBACK
     "HttpGetLastError: An asynchronous request could not be made because a callback function has not been set.\n"},
    {12026,  // ERROR_INTERNET_REQUEST_PENDING
     "HttpGetLastError: The required operation could not be completed because one or more requests are pending.\n"},
    {12027,  // ERROR_INTERNET_INCORRECT_FORMAT
     "HttpGetLastError: The format of the request is invalid.\n"},
    {12028,  // ERROR_INTERNET_ITEM_NOT_FOUND
     "HttpGetLastError: The requested item could not be located.\n"},
    {12029,  // ERROR_WINHTTP_CANNOT_CONNECT
     "HttpGetLastError: The attempt to connect to the server failed.\n"},
    {12030,  // ERROR_WINHTTP_CONNECTION_ERROR
     "HttpGetLastError: The connection with the server has been terminated or an incompatible SSL protocol was encountered .\n"},
    {12031,  // ERROR_INTERNET_CONNECTION_RESET
     "HttpGetLastError: The connection with the server has been reset.\n"},
    {12032,  // ERROR_WINHTTP_RESEND_REQUEST
     "HttpGetLastError: The WinHTTP function failed. The desired function can be retried on the same request handle \n"},
    {12033,  // ERROR_INTERNET_INVALID_PROXY_REQUEST
     "HttpGetLastError: The request to the proxy was invalid. \n"},
    {12034,  // ERROR_INTERNET_NEED_UI
     "HttpGetLastError: Need UI\n"},
    {12035,  // (no public name)
     "HttpGetLastError: Sec Cert Date Invalid\n"},
    {12036,  // ERROR_INTERNET_HANDLE_EXISTS
     "HttpGetLastError: The request failed because the handle already exists.\n"},
    {12037,  // ERROR_WINHTTP_SECURE_CERT_DATE_INVALID
     "HttpGetLastError: SSL certificate date that was received from the server is bad. The certificate is expired. \n"},
    {12038,  // ERROR_WINHTTP_SECURE_CERT_CN_INVALID
     "HttpGetLastError: SSL certificate common name (host name field) is incorrect. For example, you entered updates.example.com but the common name on the certificate is portal.example.net. \n"},
    {12039,  // ERROR_INTERNET_HTTP_TO_HTTPS_ON_REDIR
     "HttpGetLastError: The application is moving from a non-SSL to an SSL connection because of a redirect. \n"},
    {12040,  // ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR
     "HttpGetLastError: The application is moving from an SSL to an non-SSL connection because of a redirect. \n"},
    {12041,  // ERROR_INTERNET_MIXED_SECURITY
     "HttpGetLastError: Indicates that the content is not entirely secure. Some of the content being viewed may have come from unsecured servers. \n"},
    {12042,  // ERROR_INTERNET_CHG_POST_IS_NON_SECURE
     "HttpGetLastError: The application is posting and attempting to change multiple lines of text on a server that is not secure. \n"},
    {12043,  // ERROR_INTERNET_POST_IS_NON_SECURE
     "HttpGetLastError: The application is posting data to a server that is not secure. \n"},
    {12044,  // ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED
     "HttpGetLastError: Client Auth Cert Needed\n"},
    {12045,  // ERROR_WINHTTP_SECURE_INVALID_CA
     "HttpGetLastError: Indicates that a certificate chain was processed, but terminated in a root certificate that is not trusted by the trust provider (equivalent to CERT_E_UNTRUSTEDROOT). \n"},
    {12046,  // ERROR_INTERNET_CLIENT_AUTH_NOT_SETUP
     "HttpGetLastError: Client Auth Not Setup\n"},
    {12057,  // ERROR_WINHTTP_SECURE_CERT_REV_FAILED
     "HttpGetLastError: Indicates that revocation cannot be checked because the revocation server was offline (equivalent to CRYPT_E_REVOCATION_OFFLINE). \n"},
    {12100,  // ERROR_WINHTTP_CANNOT_CALL_BEFORE_OPEN
     "HttpGetLastError: requested operation cannot be performed before calling the Open method \n"},
    {12101,  // ERROR_WINHTTP_CANNOT_CALL_BEFORE_SEND
     "HttpGetLastError: requested operation cannot be performed before calling the Send method \n"},
    {12102,  // ERROR_WINHTTP_CANNOT_CALL_AFTER_SEND
     "HttpGetLastError: Requested operation cannot be performed after calling the Send method. \n"},
    {12103,  // ERROR_WINHTTP_CANNOT_CALL_AFTER_OPEN
     "HttpGetLastError: Option cannot be requested after the Open method has been called \n"},
    {12150,  // ERROR_WINHTTP_HEADER_NOT_FOUND
     "HttpGetLastError: The requested header could not be located. \n"},
    {12151,  // ERROR_HTTP_DOWNLEVEL_SERVER
     "HttpGetLastError: The server did not return any headers. \n"},
    {12152,  // ERROR_WINHTTP_INVALID_SERVER_RESPONSE
     "HttpGetLastError: The server response could not be parsed. \n"},
    {12153,  // ERROR_WINHTTP_INVALID_HEADER
     "HttpGetLastError: The supplied header is invalid. \n"},
    {12154,  // ERROR_WINHTTP_INVALID_QUERY_REQUEST
     "HttpGetLastError: The request made to HttpQueryInfo is invalid. \n"},
    {12155,  // ERROR_WINHTTP_HEADER_ALREADY_EXISTS
     "HttpGetLastError: The header could not be added because it already exists. \n"},
    {12156,  // ERROR_WINHTTP_REDIRECT_FAILED
     "HttpGetLastError: The redirection failed because either the scheme changed (for example, HTTP to FTP) or all attempts made to redirect failed (default is five attempts). \n"},
    {12157,  // ERROR_WINHTTP_SECURE_CHANNEL_ERROR
     "HttpGetLastError: Indicates that an error occurred having to do with a secure channel.The application experienced an internal error loading the SSL libraries\n"},
    {12158,  // ERROR_INTERNET_UNABLE_TO_CACHE_FILE
     "HttpGetLastError: The function was unable to cache the file\n"},
    {12159,  // ERROR_INTERNET_TCPIP_NOT_INSTALLED
     "HttpGetLastError: TCP/IP not installed\n"},
    {12166,  // ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT
     "HttpGetLastError: An error occurred executing the script code in the Proxy Auto-Configuration (PAC) file\n"},
    {12167,  // ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT
     "HttpGetLastError: The PAC file cannot be downloaded. For example, the server referenced by the PAC URL may not have been reachable, or the server returned a 404 NOT FOUND response \n"},
    {12169,  // ERROR_WINHTTP_SECURE_INVALID_CERT
     "HttpGetLastError: Indicates that a certificate is invalid (equivalent to errors such as CERT_E_ROLE, CERT_E_PATHLENCONST, CERT_E_CRITICAL, CERT_E_PURPOSE, CERT_E_ISSUERCHAINING, CERT_E_MALFORMED and CERT_E_CHAINING)."},
    {12170,  // ERROR_WINHTTP_SECURE_CERT_REVOKED
     "HttpGetLastError: Indicates that a certificate has been revoked (equivalent to CRYPT_E_REVOKED).\n"},
    {12172,  // ERROR_WINHTTP_NOT_INITIALIZED
     "HttpGetLastError: Obsolete; no longer used.  \n"},
    {12175,  // ERROR_WINHTTP_SECURE_FAILURE
     "HttpGetLastError: One or more errors were found in the Secure Sockets Layer (SSL) certificate sent by the server .\n"},
    {12178,  // ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR
     "HttpGetLastError: Proxy for the specified URL cannot be located\n"},
    {12179,  // ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE
     "HttpGetLastError: Indicates that a certificate is not valid for the requested usage (equivalent to CERT_E_WRONG_USAGE).\n"},
    {12180,  // ERROR_WINHTTP_AUTODETECTION_FAILED
     "HttpGetLastError: unable to discover the URL of the Proxy Auto-Configuration (PAC) file \n"},
    {12181,  // ERROR_WINHTTP_HEADER_COUNT_EXCEEDED
     "HttpGetLastError: A larger number of headers were present in a response than WinHTTP could receive \n"},
    {12182,  // ERROR_WINHTTP_HEADER_SIZE_OVERFLOW
     "HttpGetLastError: The size of headers received exceeds the limit for the request handle \n"},
    {12183,  // ERROR_WINHTTP_CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW
     "HttpGetLastError: An overflow condition is encountered in the course of parsing chunked encoding  \n"},
    {12184,  // ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW
     "HttpGetLastError: The WinHTTP function failed. The desired function can be retried on the same request handle \n"},
};

}  // namespace

const char* WinHttpErrorText(DWORD code) {
  for (const ErrorText& row : kTexts) {
    if (row.code == code) return row.text;
  }
  return nullptr;
}

void HttpGetLastError(DWORD code) {
  if (const char* text = WinHttpErrorText(code)) {
    LogError("%s", text);
    return;
  }
  LogErrorMessage(code);
}
