<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>tavomi-card</name>
    <message>
        <source>holds a comma</source>
        <translation>カンマ（,）が入っています</translation>
    </message>
    <message>
        <source>holds a double quote</source>
        <translation>二重引用符（&quot;）が入っています</translation>
    </message>
    <message>
        <source>holds a half-width space</source>
        <translation>半角スペースが入っています</translation>
    </message>
    <message>
        <source>holds a control character</source>
        <translation>制御文字が入っています</translation>
    </message>
    <message>
        <source>holds %1 (U+%2), which CP932 cannot write</source>
        <translation>シフトJIS（CP932）で書けない文字「%1」（U+%2）が入っています</translation>
    </message>
    <message>
        <source>the name is empty</source>
        <translation>氏名がありません</translation>
    </message>
    <message>
        <source>the name %1</source>
        <translation>氏名に%1</translation>
    </message>
    <message>
        <source>the name begins or ends with a full-width space</source>
        <translation>氏名の最初か最後に全角スペースがあります</translation>
    </message>
    <message>
        <source>there is no cardholder list %1</source>
        <translation>カード登録ファイル（%1）がありません</translation>
    </message>
    <message>
        <source>not registered: %1</source>
        <translation>登録しませんでした：%1</translation>
    </message>
    <message>
        <source>Lay the card on a reader.
</source>
        <translation>カードをリーダーに置いてください。
</translation>
    </message>
    <message>
        <source>No card reader found (is pcscd running and a reader plugged in?); waiting.
</source>
        <translation>カードリーダーが見つかりません（pcscd の起動とリーダーの接続を確かめてください）。待っています。
</translation>
    </message>
    <message>
        <source>no card within %1 s: the smart-card service does not answer (is pcscd hung?)</source>
        <translation>%1 秒待ちましたが、スマートカードのサービスが応答しません（pcscd が止まっていませんか？）</translation>
    </message>
    <message>
        <source>no card within %1 s</source>
        <translation>%1 秒のうちにカードが置かれませんでした</translation>
    </message>
    <message>
        <source>reader: %1
IDm: %2
</source>
        <translation>リーダー：%1
IDm：%2
</translation>
    </message>
    <message>
        <source>(the card gave none)</source>
        <translation>（カードから読めませんでした）</translation>
    </message>
    <message>
        <source>holder: unknown
</source>
        <translation>氏名：不明
</translation>
    </message>
    <message>
        <source>holder: %1
</source>
        <translation>氏名：%1
</translation>
    </message>
    <message>
        <source>not registered</source>
        <translation>未登録</translation>
    </message>
    <message>
        <source>particular %1 %2</source>
        <translation>職名・備考の%1番目に%2</translation>
    </message>
    <message>
        <source>the card on %1 gave no identifier</source>
        <translation>%1 のカードから IDm を読めませんでした</translation>
    </message>
    <message>
        <source>registered %1 to %2
</source>
        <translation>カード %1 を %2 さんに登録しました。
</translation>
    </message>
    <message>
        <source>registered %1 to %2 (it was %3&apos;s)
</source>
        <translation>カード %1 を %2 さんに登録し直しました（前は %3 さんのカードでした）。
</translation>
    </message>
    <message>
        <source>the card %1 is already registered to %2 (--reassign gives it to %3)</source>
        <translation>カード %1 はすでに %2 さんに登録されています（--reassign で %3 さんに登録し直せます）</translation>
    </message>
    <message>
        <source>read takes no names</source>
        <translation>read には氏名を付けません</translation>
    </message>
    <message>
        <source>--reassign belongs to register</source>
        <translation>--reassign は register に付けるオプションです</translation>
    </message>
    <message>
        <source>register needs the holder&apos;s name</source>
        <translation>register には氏名が必要です</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>%1 というコマンドはありません</translation>
    </message>
    <message>
        <source>--timeout needs a whole number of seconds</source>
        <translation>--timeout には秒数を整数で指定してください</translation>
    </message>
    <message>
        <source>the card %1 is not registered</source>
        <translation>カード %1 は登録されていません</translation>
    </message>
    <message>
        <source>retire the card %1 of %2? Tavomi will answer it as not registered. [y/N] </source>
        <translation>%2 さんのカード %1 を使えなくしますか？&#x3000;このカードは未登録のカードとして扱われます。[y/N] </translation>
    </message>
    <message>
        <source>nothing changed
</source>
        <translation>何も変えませんでした
</translation>
    </message>
    <message>
        <source>retired %1 (it was %2&apos;s)
</source>
        <translation>カード %1 を使えなくしました（%2 さんのカードでした）
</translation>
    </message>
    <message>
        <source>%1 changed while you were asked; nothing was written, try again</source>
        <translation>確認の間に %1 が変わりました。何も書き込んでいません。もう一度やり直してください</translation>
    </message>
    <message>
        <source>say read, register or retire</source>
        <translation>read、register か retire を指定してください</translation>
    </message>
    <message>
        <source>retire needs the card&apos;s IDm</source>
        <translation>retire にはカードの IDm を指定してください</translation>
    </message>
    <message>
        <source>usage: tavomi-card read [--timeout S] [--data DIR]
       tavomi-card register NAME [PARTICULARS...] [--reassign] [--timeout S] [--data DIR]
       tavomi-card retire IDM [--yes] [--data DIR]
  read      wait for a FeliCa card and print its reader, IDm and holder
  register  wait for a card and add it to the cardholder list as NAME
  retire    take a card (lost or returned) off the cardholder list, after asking
  --yes        retire without asking
  --timeout S  give up after S seconds without a card (default 30; 0: look once)
  --reassign   give a registered card to NAME (the list&apos;s last line for a card wins)
  --data DIR   the data folder (default: attendance_manegement beside the program)
</source>
        <translation>使い方: tavomi-card read [--timeout S] [--data DIR]
        tavomi-card register 氏名 [職名・備考...] [--reassign] [--timeout S] [--data DIR]
        tavomi-card retire IDm [--yes] [--data DIR]
  read      FeliCa カードを待ち、リーダー、IDm、登録された氏名を表示します
  register  カードを待ち、氏名とともにカード登録ファイルに加えます
  retire    なくした・返したカードを、確かめてからカード登録ファイルから外します
  --yes        確かめずに外します
  --timeout S  S 秒のうちにカードが置かれなければやめます（既定は 30、0 は一度だけ見ます）
  --reassign   登録済みのカードを、その氏名に登録し直します（カードの最後の行が有効です）
  --data DIR   データフォルダー（既定はプログラムと同じ場所の attendance_manegement）
</translation>
    </message>
    <message>
        <source>%1 exists: another program is writing, or one stopped while writing (its lock is taken over once it has stood 5 minutes); try again</source>
        <translation>ほかのプログラムが書き込み中です（%1 があります）。しばらくしてからもう一度試してください。書き込みの途中で止まったプログラムのものは、5分たつと引き取られます</translation>
    </message>
</context>
<context>
    <name>tavomi-report</name>
    <message>
        <source>say today or month</source>
        <translation>today か month を指定してください</translation>
    </message>
    <message>
        <source>today takes no other words (a date goes with --date)</source>
        <translation>today にはほかの語を付けません（日付は --date で指定します）</translation>
    </message>
    <message>
        <source>--date needs a date written YYYY/MM/DD</source>
        <translation>--date には日付を YYYY/MM/DD で指定してください</translation>
    </message>
    <message>
        <source>month needs one month, written YYYY/MM</source>
        <translation>month には月を一つ YYYY/MM で指定してください</translation>
    </message>
    <message>
        <source>--date belongs to today</source>
        <translation>--date は today に付けるオプションです</translation>
    </message>
    <message>
        <source>month needs a month written YYYY/MM, not %1</source>
        <translation>month には月を YYYY/MM で指定してください（%1 は月として読めません）</translation>
    </message>
    <message>
        <source>unknown command %1</source>
        <translation>%1 というコマンドはありません</translation>
    </message>
    <message>
        <source>nobody to report (no cardholder and no record)</source>
        <translation>載せる教員がいません（カード登録も記録もありません）</translation>
    </message>
    <message>
        <source>no Japanese font (install fonts-noto-cjk)</source>
        <translation>日本語のフォントがありません（fonts-noto-cjk を入れてください）</translation>
    </message>
    <message>
        <source>cannot start the PDF</source>
        <translation>PDF を書き始めることができませんでした</translation>
    </message>
    <message>
        <source> (teachers are taken from the journal alone)</source>
        <translation>（氏名は記録からだけ取りました）</translation>
    </message>
    <message>
        <source>cannot write %1: %2</source>
        <translation>%1 に書き込むことができませんでした：%2</translation>
    </message>
    <message>
        <source>wrote %1
</source>
        <translation>%1 を保存しました
</translation>
    </message>
    <message>
        <source>wrote %1 (%2 pages)
</source>
        <translation>%1 を保存しました（%2ページ）
</translation>
    </message>
    <message>
        <source>%1 is one of Tavomi&apos;s data files; a report never writes them</source>
        <translation>%1 は Tavomi のデータファイルです。報告の出力先にはできません</translation>
    </message>
    <message>
        <source>cannot start %1: %2</source>
        <translation>%1 を起動できませんでした：%2</translation>
    </message>
    <message>
        <source>this program draws no PDF</source>
        <translation>このプログラムは PDF を作成できません</translation>
    </message>
    <message>
        <source> (each date&apos;s hours are taken from the weekly table)</source>
        <translation>（日ごとの勤務時間は週の表から取りました）</translation>
    </message>
    <message>
        <source> (dates without working hours count as days off)</source>
        <translation>（勤務時間の行がない日は休日としました）</translation>
    </message>
    <message>
        <source> (the school&apos;s calendar is not used)</source>
        <translation>（学校の暦は使っていません）</translation>
    </message>
    <message>
        <source>--csv, --pdf and --xlsx belong to month</source>
        <translation>--csv、--pdf、--xlsx は month に付けるオプションです</translation>
    </message>
    <message>
        <source>--csv, --pdf and --xlsx need a file</source>
        <translation>--csv、--pdf、--xlsx にはファイル名が必要です</translation>
    </message>
    <message>
        <source>usage: tavomi-report today [--date YYYY/MM/DD] [--data DIR]
       tavomi-report --date YYYY/MM/DD [--data DIR]
       tavomi-report month YYYY/MM [--csv FILE] [--pdf FILE] [--xlsx FILE] [--data DIR]
         (the month also as YYYY-MM, YYYY/M, or M月 for the latest such month)
  today  each teacher&apos;s records of the day and where each stands now
  month  each teacher&apos;s time sheet of the month; with --csv, --pdf or --xlsx, written
         to FILE (CSV in CP932 for a spreadsheet; PDF with one A4 page per teacher;
         a workbook with the principal&apos;s and the board&apos;s sheets and one a teacher)
  --data DIR  the data folder (default: attendance_manegement beside the program)
</source>
        <translation>使い方: tavomi-report today [--date YYYY/MM/DD] [--data DIR]
        tavomi-report --date YYYY/MM/DD [--data DIR]
        tavomi-report month YYYY/MM [--csv FILE] [--pdf FILE] [--xlsx FILE] [--data DIR]
          （月は YYYY-MM、YYYY/M、M月 でも書けます。M月 は直近のその月）
  today  その日の各教員の記録と、いまの在校状況
  month  その月の各教員の勤務表。--csv、--pdf、--xlsx を付けると FILE に保存します
         （CSV は表計算ソフト用の CP932、PDF は教員ごとに A4 1ページ、
         Excel のブックは校長用・教育委員会用のシートと教員ごとのシート）
  --data DIR  データフォルダー（既定はプログラムと同じ場所の attendance_manegement）
</translation>
    </message>
    <message>
        <source>%1 is a folder; give a file&apos;s name</source>
        <translation>%1 はフォルダーです。ファイル名を指定してください</translation>
    </message>
</context>
<context>
    <name>tavomi-tools</name>
    <message>
        <source>%1 needs a value</source>
        <translation>%1 には値が必要です</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>%1 というオプションはありません</translation>
    </message>
    <message>
        <source>--data needs a folder</source>
        <translation>--data にはフォルダーが必要です</translation>
    </message>
    <message>
        <source>--data %1: Tavomi&apos;s data folder is named %2; give the path of that folder</source>
        <translation>--data %1：Tavomi のデータフォルダーの名前は %2 です。そのフォルダーのパスを指定してください</translation>
    </message>
</context>
</TS>
