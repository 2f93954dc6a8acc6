#include "screens/chat/EmoticonTable.h"

namespace tavrin::screens::chat {

const std::array<Emoticon, kEmoticonCount> kEmoticons = {{
    {u"(y)", u"大拇指", 0x1F44D},     {u"(null)", u"握手", 0x1F91D},
    {u":)", u"微笑", 0x1F642},        {u":d", u"大笑", 0x1F604},
    {u";)", u"眨眼", 0x1F609},        {u":-o", u"惊讶", 0x1F62E},
    {u":p", u"吐舌笑脸", 0x1F61B},    {u"(h)", u"惊讶", 0x1F632},
    {u":@", u"生气", 0x1F620},        {u":(", u"悲伤", 0x1F641},
    {u":'(", u"哭泣", 0x1F622},       {u":\">", u"尴尬", 0x1F633},
    {u"^o", u"讽刺", 0x1F60F},        {u":&", u"生病", 0x1F922},
    {u"8o|", u"咬牙切齿", 0x1F62C},   {u"|o", u"困", 0x1F62A},
    {u":-#", u"保密", 0x1F910},       {u"8-)", u"转动的眼睛", 0x1F644},
    {u"(s)", u"沉睡的弯月", 0x1F31C}, {u"(st)", u"下雨", 0x1F327},
    {u"(o)", u"时钟", 0x1F552},       {u"(l)", u"红心", 0x2764},
    {u"(u)", u"破碎的心", 0x1F494},   {u"(@)", u"猫脸", 0x1F431},
    {u"(&)", u"狗脸", 0x1F436},       {u"(sn)", u"蜗牛", 0x1F40C},
    {u"(*)", u"星星", 0x2B50},        {u"(#)", u"太阳", 0x2600},
    {u"(r)", u"彩虹", 0x1F308},       {u"({)", u"左侧拥抱", 0x1F917},
    {u"(})", u"右侧拥抱", 0x1FAC2},   {u"(k)", u"红唇", 0x1F48B},
    {u"(f)", u"玫瑰", 0x1F339},       {u"(w)", u"凋谢的玫瑰", 0x1F940},
    {u"(g)", u"礼品盒", 0x1F381},     {u"(^)", u"蛋糕", 0x1F382},
    {u"(8)", u"音乐", 0x1F3B5},       {u"(i)", u"灯泡", 0x1F4A1},
    {u"*-:)", u"想法", 0x1F4AD},      {u"(c)", u"咖啡", 0x2615},
    {u"(um)", u"雨伞", 0x2602},       {u"(mp)", u"手机", 0x1F4F1},
    {u"(co)", u"电脑", 0x1F4BB},      {u"(:|)", u"失望", 0x1F61E},
    {u":-/", u"疑惑", 0x1F615},       {u":s", u"担心", 0x1F61F},
    {u")-|", u"饮料", 0x1F379},       {u"(d)", u"高脚杯", 0x1F377},
    {u"o:)", u"天使", 0x1F607},       {u":?", u"沉思", 0x1F914},
    {u">:)", u"淘气", 0x1F608},       {u":b", u"呆子", 0x1F913},
    {u"b)", u"戴着太阳镜", 0x1F60E},
}};

std::u16string with_pictures(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const Emoticon* best = nullptr;
    for (const Emoticon& e : kEmoticons)
      if (text.substr(i).starts_with(e.code) && (!best || e.code.size() > best->code.size()))
        best = &e;
    if (!best) {
      out += text[i++];
      continue;
    }
    const char32_t c = best->picture;
    if (c >= 0x10000) {
      out += char16_t(0xD800 + ((c - 0x10000) >> 10));
      out += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      // A picture with a plain text form too (♥, ☀) asks for the colour one.
      out += char16_t(c);
      out += u'\uFE0F';
    }
    i += best->code.size();
  }
  return out;
}

}  // namespace tavrin::screens::chat
