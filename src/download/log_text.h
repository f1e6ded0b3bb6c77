// The engine's log texts (GBK) and their placeholders.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

#include "lumora/text/text.h"

namespace lumora {

// Replaces each "%s" or "%d" in turn with the next argument.
Text format_log(std::string_view pattern, std::initializer_list<std::string_view> args);

// Local time as "YYYY-MM-DD HH:MM:SS".
Text log_time_text();

// Log levels.
inline constexpr int kLogProgress = 0;
inline constexpr int kLogSent = 1;
inline constexpr int kLogReceived = 2;
inline constexpr int kLogError = 3;

// Message texts, GBK, in UTF-8 source form.
namespace log_text {
inline constexpr char8_t kResolving[] = u8"正在解析域名 [%s]";
inline constexpr char8_t kResolveFailed[] = u8"解析域名 [%s]出错";
inline constexpr char8_t kProxyResolving[] = u8"正在代理服务器解析域名 [%s]";
inline constexpr char8_t kProxyResolveFailed[] = u8"解析代理服务器域名 [%s]出错";
inline constexpr char8_t kConnecting[] = u8"正在连接 [%s:%d]";
inline constexpr char8_t kProxyConnecting[] = u8"正在连接代理服务器 [%s:%d]";
inline constexpr char8_t kConnected[] = u8"连接 [%s:%d]成功";
inline constexpr char8_t kConnectFailed[] = u8"连接 [%s:%d]失败";
inline constexpr char8_t kConnectTimeout[] = u8"连接 [%s:%d]超时";
inline constexpr char8_t kTlsEstablished[] = u8"TLS连接已建立 [%s, %s]";
inline constexpr char8_t kTlsFull[] = u8"完整握手";
inline constexpr char8_t kTlsResumed[] = u8"恢复会话";
inline constexpr char8_t kProxyTunnelRefused[] = u8"代理服务器拒绝建立隧道, 返回号[%d]";
inline constexpr char8_t kReceiveTimeout[] = u8"接收数据超时";
inline constexpr char8_t kReceiveError[] = u8"接收数据错误";
inline constexpr char8_t kSendError[] = u8"发送数据错误";
inline constexpr char8_t kWaitTimeout[] = u8"等待接收或发送数据超时";
inline constexpr char8_t kWaitFailed[] = u8"等待接收或发送数据错误";
inline constexpr char8_t kNoSocket[] = u8"空指针错误";
inline constexpr char8_t kSocketStateFailed[] = u8"设置或获得SOCK状态出错";
inline constexpr char8_t kNotWaited[] = u8"FD_ISSET 找不到需要的SOCK";
inline constexpr char8_t kConnectionError[] = u8"有错误发生";
inline constexpr char8_t kPositionError[] = u8"位置错误";
inline constexpr char8_t kUnknownError[] = u8"未知错误";
inline constexpr char8_t kRetryWait[] = u8"等待%d秒后重试";
inline constexpr char8_t kSendRequestFailed[] = u8"发送请求失败";
inline constexpr char8_t kHeadTooLong[] = u8"HTTP返回头部信息过长";
inline constexpr char8_t kRedirected[] = u8"重定向到 [%s]";
inline constexpr char8_t kRedirectBad[] = u8"COOKIE过长或获得重定向信息错误或不支持的协议";
inline constexpr char8_t kRedirectMissing[] = u8"获得重定向信息错误";
inline constexpr char8_t kHttpError[] = u8"出现错误";
inline constexpr char8_t kUnsupportedStatus[] = u8"暂时不支持的返回, 返回号[%d]";
inline constexpr char8_t kNoSize[] = u8"无法获得文件大小";
inline constexpr char8_t kBadLength[] = u8"HTTP返回头部的文件长度信息有误";
inline constexpr char8_t kBadAnswer[] = u8"HTTP返回头部信息有误";
inline constexpr char8_t kFileChanged[] = u8"服务器上的文件已改变, 重新下载";
inline constexpr char8_t kFileKeepsChanging[] = u8"服务器上的文件在下载中多次改变, 下载失败";
inline constexpr char8_t kFtpWelcomeWait[] = u8"连接成功, 等待欢迎消息";
inline constexpr char8_t kFtpLoggedIn[] = u8"登录成功";
inline constexpr char8_t kFtpLoginFailed[] = u8"登录失败";
inline constexpr char8_t kFtpNoWelcome[] = u8"无法得到欢迎消息";
inline constexpr char8_t kFtpUnsupportedReply[] = u8"暂时不支持的回应";
inline constexpr char8_t kFtpTransferFailed[] = u8"数据传送失败";
inline constexpr char8_t kFtpReplyFailed[] = u8"获得返回信息失败";
inline constexpr char8_t kFtpDataConnectFailed[] = u8"数据通道连接失败";
inline constexpr char8_t kFtpDataSetupFailed[] = u8"设置数据通道错误";
inline constexpr char8_t kFtpTimeout[] = u8"超时";
inline constexpr char8_t kFtpPassiveElsewhere[] =
    u8"PASV返回的地址 [%s] 不是服务器的地址 [%s], 改为连接 [%s:%d]";
inline constexpr char8_t kFtpTryActive[] = u8"尝试主动模式连接";
inline constexpr char8_t kFtpActiveFailed[] = u8"设置主动模式失败";
inline constexpr char8_t kFtpResumable[] = u8"站点支持断点续传";
inline constexpr char8_t kFtpNotResumable[] = u8"站点不支持断点续传";
inline constexpr char8_t kRenamed[] = u8"发现同名文件, 系统自动更名为%s";
inline constexpr char8_t kGaveUp[] = u8"发现同名文件, 用户选择放弃下载";
inline constexpr char8_t kUserRenamed[] = u8"发现同名文件, 用户更名为%s";
inline constexpr char8_t kTooManyRenames[] = u8"发现同名文件，超过系统自动更名次数";
inline constexpr char8_t kCreateFailed[] =
    u8"创建文件错误，超出最大支持下载长度或磁盘不可写或磁盘没有空间或同名文件已存在";
inline constexpr char8_t kOpenFailed[] = u8"打开文件失败，请检查磁盘是否存在 %s 这个文件";
}  // namespace log_text

}  // namespace lumora
