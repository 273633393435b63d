<?xml version="1.0" encoding="UTF-8"?>
<!--
  Report of the optimization catalogue: Export makes it with MSXML into one HTML page that the
  browser shows as it is (styles inline, no script, nothing fetched); a browser that still applies
  stylesheets to XML files shows the catalogue the same way. XSLT 1.0 only, so that MSXML and
  libxslt render it alike.

  Reads the file the way the program does: any element name at the item and entry levels, the
  last element of a field counts, every OSVersion element adds versions, Enabled is TRUE in any
  letter case, the description is split at its first "Justification:".

  By Windows version lists, for every version a machine can be identified as, the entries the
  editor offers there; each version's link narrows the tables to those entries through the CSS
  :target rule, so the page needs no script.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">

  <!-- The processor puts the meta element that names the encoding first into the head. -->
  <xsl:output method="html" encoding="UTF-8" indent="no" doctype-system="about:legacy-compat"/>

  <!-- The program's version, given by the program that makes the page; none when a browser
       applies the stylesheet itself. -->
  <xsl:param name="version" select="''"/>

  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>
  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="marker" select="'Justification:'"/>
  <xsl:variable name="known" select="'|STORAGE|USER EXPERIENCE|CPU AND MEMORY|'"/>
  <!-- Every version name the program knows, in the order the report lists them, as
       ";IDENTIFIER:letter:offered on:anchor:Display name". A letter stands for a version a
       machine can be identified as; "offered on" holds the letters of the machines whose
       editor offers an entry that names this version: the version itself and those that were
       taken for it before they had a name of their own. -->
  <xsl:variable name="versionTable" select="concat(
      ';WINDOWS11:a:a:windows-11:Windows 11;WINDOWS10:b:b:windows-10:Windows 10',
      ';WINDOWS8.1:c:c:windows-8-1:Windows 8.1;WINDOWS8:d:abcd:windows-8:Windows 8',
      ';WINDOWS7:e:e:windows-7:Windows 7;WINDOWSVISTA:f:f:windows-vista:Windows Vista',
      ';WINDOWSXP:g:g:windows-xp:Windows XP;WINDOWS2000:h:h:windows-2000:Windows 2000',
      ';WINDOWSSERVER2025:i:i:windows-server-2025:Windows Server 2025',
      ';WINDOWSSERVER2022:j:j:windows-server-2022:Windows Server 2022',
      ';WINDOWSSERVER2019:k:k:windows-server-2019:Windows Server 2019',
      ';WINDOWSSERVER2016:l:l:windows-server-2016:Windows Server 2016',
      ';WINDOWSSERVER2012R2:m:m:windows-server-2012-r2:Windows Server 2012 R2',
      ';WINDOWSSERVER2012:n:ijklmn:windows-server-2012:Windows Server 2012',
      ';WINDOWSSERVER2008R2:o:o:windows-server-2008-r2:Windows Server 2008 R2',
      ';WINDOWSSERVER2008:p:op:windows-server-2008:Windows Server 2008',
      ';WINDOWSSERVER2003:q:q:windows-server-2003:Windows Server 2003',
      ';WINDOWSSERVER2003R2::::Windows Server 2003 R2',
      ';ALL::abcdefghijklmnopq::All versions;')"/>
  <xsl:variable name="machines" select="'abcdefghijklmnopq'"/>

  <xsl:variable name="items" select="/Optimizations/*"/>
  <xsl:variable name="enabledItems"
      select="$items[translate(normalize-space(Enabled[last()]), $lower, $upper) = 'TRUE']"/>
  <!-- One letter per entry and machine it is offered on, for the index to count. -->
  <xsl:variable name="offeredLetters">
    <xsl:for-each select="$items"><xsl:call-template name="offered-on"/></xsl:for-each>
  </xsl:variable>
  <xsl:variable name="enabledLetters">
    <xsl:for-each select="$enabledItems"><xsl:call-template name="offered-on"/></xsl:for-each>
  </xsl:variable>
  <!-- Entries whose category is none of the three the editor selects by. -->
  <xsl:variable name="otherItems"
      select="$items[not(contains($known, concat('|',
          translate(normalize-space(Category[last()]), $lower, $upper), '|')))
          or normalize-space(Category[last()]) = '']"/>

  <xsl:template match="/">
    <html lang="en">
      <head>
        <meta http-equiv="X-UA-Compatible" content="IE=edge"/>
        <meta name="viewport" content="width=device-width, initial-scale=1"/>
        <title>Orvik Optimizer - Optimization catalogue</title>
        <style type="text/css">
          * { box-sizing: border-box; }
          body {
            margin: 0; background: #f3f5f7; color: #24292f;
            font-family: "Segoe UI", system-ui, -apple-system, "Helvetica Neue", Roboto, Arial,
              sans-serif;
            font-size: 14px; line-height: 1.45;
          }
          .header { background: rgb(0, 133, 195); color: #fff; padding: 24px 40px 20px; }
          .header h1 { margin: 0; font-size: 26px; font-weight: 600; letter-spacing: 0.2px; }
          .header p { margin: 4px 0 0; opacity: 0.9; }
          .main { padding: 24px 40px 40px; }
          .summary-wrap { margin: 0 -16px 20px; }
          .summary { display: table; width: 100%; border-spacing: 16px 0; table-layout: fixed; }
          .card {
            display: table-cell; vertical-align: top; background: #fff; border-radius: 6px;
            padding: 14px 18px; border: 1px solid #e1e4e8;
            box-shadow: 0 1px 3px rgba(0, 0, 0, 0.12);
          }
          .card h2 {
            margin: 0 0 8px; font-size: 12px; font-weight: 600; text-transform: uppercase;
            letter-spacing: 0.6px; color: #57606a;
          }
          .card table { border-collapse: collapse; width: 100%; }
          .card td { padding: 2px 0; }
          .card td.count { text-align: right; font-weight: 600; font-variant-numeric: tabular-nums; }
          .card td.part { text-align: right; color: #57606a; width: 7em; }
          .big { font-size: 30px; font-weight: 600; color: rgb(0, 133, 195); line-height: 1.1; }
          .big-row div { display: inline-block; margin-right: 28px; }
          .big-row span.label { display: block; color: #57606a; font-size: 12px; }
          .nav { margin: 0 0 18px; }
          .nav a {
            display: inline-block; margin: 0 8px 6px 0; padding: 4px 12px; border-radius: 14px;
            background: #fff; color: rgb(0, 133, 195); text-decoration: none;
            border: 1px solid rgb(0, 133, 195);
          }
          div.category { margin-bottom: 32px; }
          div.category h2 {
            font-size: 19px; font-weight: 600; margin: 0 0 10px; padding-bottom: 6px;
            border-bottom: 3px solid rgb(0, 133, 195);
          }
          div.category h2 .n { color: #57606a; font-weight: 400; font-size: 14px; }
          table.entries {
            width: 100%; border-collapse: collapse; background: #fff; table-layout: fixed;
            box-shadow: 0 1px 3px rgba(0, 0, 0, 0.12);
          }
          table.entries th {
            background: #e8f3f9; color: #0b3d57; text-align: left; font-weight: 600;
            font-size: 12px; text-transform: uppercase; letter-spacing: 0.4px; padding: 8px 10px;
            border-bottom: 2px solid rgb(0, 133, 195);
          }
          table.entries td { vertical-align: top; padding: 10px; border-bottom: 1px solid #e1e4e8; }
          table.entries tr.disabled td { background: #fafbfc; }
          table.entries tr.disabled td.name, table.entries tr.disabled .desc { color: #57606a; }
          col.c-no { width: 52px; } col.c-opt { width: 34%; } col.c-impact { width: 92px; }
          col.c-ver { width: 14%; } col.c-state { width: 96px; }
          td.no { font-variant-numeric: tabular-nums; color: #57606a; font-weight: 600; }
          td.name, .name { font-weight: 600; font-size: 15px; display: block; margin-bottom: 4px; }
          .desc { margin: 0 0 6px; }
          .why { margin: 0; color: #57606a; font-size: 13px; }
          .why b { color: #24292f; font-weight: 600; }
          .badge {
            display: inline-block; padding: 1px 9px; border-radius: 10px; font-size: 12px;
            font-weight: 600; white-space: nowrap;
          }
          .impact-low { background: #e6f4ea; color: #1e6b34; }
          .impact-medium { background: #fff4d6; color: #7a5300; }
          .impact-high { background: #fde4e1; color: #a1150b; }
          .impact-other { background: #eceff1; color: #37474f; }
          .on { background: rgb(0, 133, 195); color: #fff; }
          .off { background: #eceff1; color: #57606a; }
          ul.versions { list-style: none; margin: 0; padding: 0; }
          ul.versions li {
            display: inline-block; margin: 0 4px 4px 0; padding: 0 6px; border-radius: 3px;
            background: #eef2f5; font-size: 12px; white-space: nowrap;
          }
          ul.versions li.unknown { background: #fde4e1; color: #a1150b; font-style: italic; }
          .actions { margin: 0; padding: 0; list-style: none; }
          .actions li { margin: 0 0 6px; }
          .actions .kind {
            display: inline-block; min-width: 64px; font-size: 11px; font-weight: 600;
            color: rgb(0, 133, 195); text-transform: uppercase; letter-spacing: 0.4px;
          }
          code {
            font-family: Consolas, "Cascadia Mono", "SFMono-Regular", Menlo, "DejaVu Sans Mono",
              monospace;
            font-size: 12px; background: #f3f5f7; padding: 1px 4px; border-radius: 3px;
            word-wrap: break-word; overflow-wrap: anywhere;
          }
          .none { color: #8c959f; font-style: italic; }
          .mode { color: #57606a; font-size: 12px; }
          .footer { color: #8c959f; font-size: 12px; padding: 0 40px 24px; }
          div.by-version { margin: 0 0 24px; }
          div.by-version h2 { font-size: 19px; font-weight: 600; margin: 0 0 4px; }
          div.by-version p { margin: 0 0 10px; color: #57606a; }
          div.by-version .card { display: inline-block; vertical-align: top; width: 360px;
            margin: 0 16px 0 0; }
          div.by-version a, div.filter a { color: rgb(0, 133, 195); text-decoration: none; }
          div.by-version td a { white-space: nowrap; }
          div.filter {
            display: none; margin: 0 0 18px; padding: 10px 14px; border-radius: 6px;
            background: #e8f3f9; border: 1px solid rgb(0, 133, 195);
          }
          div.filter:target { display: block; }
          div.filter:target ~ div.category h2 .n { display: none; }
          /* A version's link narrows the tables to the entries offered on it. */
          <xsl:call-template name="each-version">
            <xsl:with-param name="what" select="'css'"/>
          </xsl:call-template>
          @media print {
            @page { size: A4 landscape; margin: 12mm; }
            body { background: #fff; font-size: 9pt; }
            .header {
              background: #fff; color: #24292f; padding: 0 0 8px;
              border-bottom: 3px solid rgb(0, 133, 195);
            }
            .header h1 { color: rgb(0, 133, 195); }
            .main { padding: 12px 0 0; }
            .nav { display: none; }
            .card, table.entries { box-shadow: none; border: 1px solid #c9d1d9; }
            thead { display: table-header-group; }
            tr { page-break-inside: avoid; break-inside: avoid; }
            div.category h2 { page-break-after: avoid; break-after: avoid; }
            div.category { page-break-before: auto; }
            .badge, table.entries th, .on {
              -webkit-print-color-adjust: exact; print-color-adjust: exact;
            }
            code { background: none; padding: 0; font-size: 8pt; }
            table.entries td { padding: 5px 6px; }
            .name { font-size: 10.5pt; }
            .desc { font-size: 9pt; }
            .why { font-size: 8.5pt; }
            ul.versions li { font-size: 8pt; margin: 0 2px 2px 0; padding: 0 3px; }
            .footer { padding: 8px 0 0; }
          }
        </style>
      </head>
      <body>
        <div class="header">
          <h1>Orvik Optimizer</h1>
          <p>Optimization catalogue for virtual desktop golden images</p>
        </div>
        <div class="main">
          <xsl:call-template name="summary"/>
          <xsl:if test="count($items) &gt; 0">
            <xsl:call-template name="by-version"/>
          </xsl:if>
          <xsl:choose>
            <xsl:when test="count($items) = 0">
              <p class="none" id="empty">The catalogue holds no optimizations.</p>
            </xsl:when>
            <xsl:otherwise>
              <div class="nav">
                <xsl:call-template name="nav-link">
                  <xsl:with-param name="name" select="'STORAGE'"/>
                  <xsl:with-param name="id" select="'storage'"/>
                </xsl:call-template>
                <xsl:call-template name="nav-link">
                  <xsl:with-param name="name" select="'USER EXPERIENCE'"/>
                  <xsl:with-param name="id" select="'user-experience'"/>
                </xsl:call-template>
                <xsl:call-template name="nav-link">
                  <xsl:with-param name="name" select="'CPU AND MEMORY'"/>
                  <xsl:with-param name="id" select="'cpu-and-memory'"/>
                </xsl:call-template>
                <xsl:if test="$otherItems">
                  <a href="#other">Other (<xsl:value-of select="count($otherItems)"/>)</a>
                </xsl:if>
              </div>
              <xsl:call-template name="each-version">
                <xsl:with-param name="what" select="'filter'"/>
              </xsl:call-template>
              <xsl:call-template name="category-section">
                <xsl:with-param name="title" select="'Storage'"/>
                <xsl:with-param name="id" select="'storage'"/>
                <xsl:with-param name="entries" select="$items[translate(normalize-space(
                    Category[last()]), $lower, $upper) = 'STORAGE']"/>
              </xsl:call-template>
              <xsl:call-template name="category-section">
                <xsl:with-param name="title" select="'User experience'"/>
                <xsl:with-param name="id" select="'user-experience'"/>
                <xsl:with-param name="entries" select="$items[translate(normalize-space(
                    Category[last()]), $lower, $upper) = 'USER EXPERIENCE']"/>
              </xsl:call-template>
              <xsl:call-template name="category-section">
                <xsl:with-param name="title" select="'CPU and memory'"/>
                <xsl:with-param name="id" select="'cpu-and-memory'"/>
                <xsl:with-param name="entries" select="$items[translate(normalize-space(
                    Category[last()]), $lower, $upper) = 'CPU AND MEMORY']"/>
              </xsl:call-template>
              <xsl:call-template name="category-section">
                <xsl:with-param name="title" select="'Other'"/>
                <xsl:with-param name="id" select="'other'"/>
                <xsl:with-param name="entries" select="$otherItems"/>
              </xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
        </div>
        <div class="footer">
          Ticked entries are applied by Run in the editor and by Orvik.exe -RUN. The report shows
          the catalogue file as last saved.
          <xsl:if test="normalize-space($version) != ''">
            <br/>Made by Orvik Optimizer <span id="version"><xsl:value-of
                select="normalize-space($version)"/></span>.
          </xsl:if>
        </div>
      </body>
    </html>
  </xsl:template>

  <!-- Totals: all entries, enabled and disabled, by category and by impact. -->
  <xsl:template name="summary">
    <div class="summary-wrap">
    <div class="summary">
      <div class="card">
        <h2>Optimizations</h2>
        <div class="big-row">
          <div><span class="big" id="total-count"><xsl:value-of select="count($items)"/></span>
            <span class="label">in total</span></div>
          <div><span class="big" id="enabled-count"><xsl:value-of
              select="count($enabledItems)"/></span>
            <span class="label">enabled</span></div>
          <div><span class="big" id="disabled-count"><xsl:value-of
              select="count($items) - count($enabledItems)"/></span>
            <span class="label">disabled</span></div>
        </div>
      </div>
      <div class="card">
        <h2>By category</h2>
        <table>
          <xsl:call-template name="summary-row">
            <xsl:with-param name="label" select="'Storage'"/>
            <xsl:with-param name="id" select="'category-storage'"/>
            <xsl:with-param name="entries" select="$items[translate(normalize-space(
                Category[last()]), $lower, $upper) = 'STORAGE']"/>
          </xsl:call-template>
          <xsl:call-template name="summary-row">
            <xsl:with-param name="label" select="'User experience'"/>
            <xsl:with-param name="id" select="'category-user-experience'"/>
            <xsl:with-param name="entries" select="$items[translate(normalize-space(
                Category[last()]), $lower, $upper) = 'USER EXPERIENCE']"/>
          </xsl:call-template>
          <xsl:call-template name="summary-row">
            <xsl:with-param name="label" select="'CPU and memory'"/>
            <xsl:with-param name="id" select="'category-cpu-and-memory'"/>
            <xsl:with-param name="entries" select="$items[translate(normalize-space(
                Category[last()]), $lower, $upper) = 'CPU AND MEMORY']"/>
          </xsl:call-template>
          <xsl:if test="$otherItems">
            <xsl:call-template name="summary-row">
              <xsl:with-param name="label" select="'Other'"/>
              <xsl:with-param name="id" select="'category-other'"/>
              <xsl:with-param name="entries" select="$otherItems"/>
            </xsl:call-template>
          </xsl:if>
        </table>
      </div>
      <div class="card">
        <h2>By impact</h2>
        <table>
          <xsl:call-template name="summary-row">
            <xsl:with-param name="label" select="'Low'"/>
            <xsl:with-param name="id" select="'impact-low'"/>
            <xsl:with-param name="entries" select="$items[translate(normalize-space(
                Impact[last()]), $lower, $upper) = 'LOW']"/>
          </xsl:call-template>
          <xsl:call-template name="summary-row">
            <xsl:with-param name="label" select="'Medium'"/>
            <xsl:with-param name="id" select="'impact-medium'"/>
            <xsl:with-param name="entries" select="$items[translate(normalize-space(
                Impact[last()]), $lower, $upper) = 'MEDIUM']"/>
          </xsl:call-template>
          <xsl:call-template name="summary-row">
            <xsl:with-param name="label" select="'High'"/>
            <xsl:with-param name="id" select="'impact-high'"/>
            <xsl:with-param name="entries" select="$items[translate(normalize-space(
                Impact[last()]), $lower, $upper) = 'HIGH']"/>
          </xsl:call-template>
        </table>
      </div>
    </div>
    </div>
  </xsl:template>

  <xsl:template name="summary-row">
    <xsl:param name="label"/>
    <xsl:param name="id"/>
    <xsl:param name="entries"/>
    <tr id="{$id}">
      <td><xsl:value-of select="$label"/></td>
      <td class="count"><xsl:value-of select="count($entries)"/></td>
      <td class="part">
        <xsl:value-of select="count($entries[translate(normalize-space(Enabled[last()]),
            $lower, $upper) = 'TRUE'])"/>
        <xsl:text> enabled</xsl:text>
      </td>
    </tr>
  </xsl:template>

  <xsl:template name="nav-link">
    <xsl:param name="name"/>
    <xsl:param name="id"/>
    <xsl:variable name="n" select="count($items[translate(normalize-space(Category[last()]),
        $lower, $upper) = $name])"/>
    <xsl:if test="$n &gt; 0">
      <a href="#{$id}"><xsl:value-of select="$name"/> (<xsl:value-of select="$n"/>)</a>
    </xsl:if>
  </xsl:template>

  <!-- One table per category, entries in file order. -->
  <xsl:template name="category-section">
    <xsl:param name="title"/>
    <xsl:param name="id"/>
    <xsl:param name="entries"/>
    <xsl:if test="$entries">
      <xsl:variable name="letters">
        <xsl:for-each select="$entries"><xsl:call-template name="offered-on"/></xsl:for-each>
      </xsl:variable>
      <div class="category" id="{$id}"
          data-offered="{translate($machines, translate($machines, $letters, ''), '')}">
        <h2><xsl:value-of select="$title"/><xsl:text> </xsl:text>
          <span class="n">(<xsl:value-of select="count($entries)"/>)</span></h2>
        <table class="entries">
          <colgroup>
            <col class="c-no"/><col class="c-opt"/><col class="c-act"/><col class="c-impact"/>
            <col class="c-ver"/><col class="c-state"/>
          </colgroup>
          <thead>
            <tr>
              <th>No.</th><th>Optimization</th><th>Actions</th><th>Impact</th>
              <th>Windows versions</th><th>State</th>
            </tr>
          </thead>
          <tbody>
            <xsl:apply-templates select="$entries" mode="row"/>
          </tbody>
        </table>
      </div>
    </xsl:if>
  </xsl:template>

  <xsl:template match="*" mode="row">
    <xsl:variable name="enabled"
        select="translate(normalize-space(Enabled[last()]), $lower, $upper) = 'TRUE'"/>
    <xsl:variable name="impact" select="translate(normalize-space(Impact[last()]), $lower,
        $upper)"/>
    <xsl:variable name="text" select="string(Description[last()])"/>
    <tr>
      <xsl:attribute name="class">
        <xsl:text>entry </xsl:text>
        <xsl:choose>
          <xsl:when test="$enabled">enabled</xsl:when>
          <xsl:otherwise>disabled</xsl:otherwise>
        </xsl:choose>
      </xsl:attribute>
      <xsl:attribute name="data-offered"><xsl:call-template name="offered-on"/></xsl:attribute>
      <td class="no"><xsl:value-of select="normalize-space(Number[last()])"/></td>
      <td>
        <span class="name"><xsl:value-of select="normalize-space(Name[last()])"/></span>
        <xsl:choose>
          <xsl:when test="contains($text, $marker)">
            <p class="desc"><xsl:value-of select="normalize-space(substring-before($text,
                $marker))"/></p>
            <xsl:if test="normalize-space(substring-after($text, $marker)) != ''">
              <p class="why"><b>Justification: </b><span class="justification"><xsl:value-of
                  select="normalize-space(substring-after($text, $marker))"/></span></p>
            </xsl:if>
          </xsl:when>
          <xsl:otherwise>
            <p class="desc"><xsl:value-of select="normalize-space($text)"/></p>
          </xsl:otherwise>
        </xsl:choose>
        <xsl:if test="normalize-space(Mode[last()]) != ''">
          <span class="mode">Mode: <xsl:value-of select="normalize-space(Mode[last()])"/></span>
        </xsl:if>
      </td>
      <td>
        <xsl:choose>
          <xsl:when test="RegistryEntries/* | Services/* | ScheduledTasks/* | CommandLines/* |
              WMIQueries/*">
            <ul class="actions">
              <xsl:apply-templates select="RegistryEntries/*" mode="registry"/>
              <xsl:apply-templates select="Services/*" mode="service"/>
              <xsl:apply-templates select="ScheduledTasks/*" mode="task"/>
              <xsl:apply-templates select="CommandLines/*" mode="command"/>
              <xsl:apply-templates select="WMIQueries/*" mode="query"/>
            </ul>
          </xsl:when>
          <xsl:otherwise><span class="none">No actions</span></xsl:otherwise>
        </xsl:choose>
      </td>
      <td>
        <span>
          <xsl:attribute name="class">
            <xsl:text>badge impact-</xsl:text>
            <xsl:choose>
              <xsl:when test="$impact = 'LOW'">low</xsl:when>
              <xsl:when test="$impact = 'MEDIUM'">medium</xsl:when>
              <xsl:when test="$impact = 'HIGH'">high</xsl:when>
              <xsl:otherwise>other</xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
          <xsl:choose>
            <xsl:when test="$impact = ''">None</xsl:when>
            <xsl:otherwise><xsl:value-of select="normalize-space(Impact[last()])"/></xsl:otherwise>
          </xsl:choose>
        </span>
      </td>
      <td>
        <xsl:choose>
          <xsl:when test="OSVersion[normalize-space(.) != '']">
            <ul class="versions">
              <xsl:for-each select="OSVersion">
                <xsl:call-template name="versions">
                  <xsl:with-param name="list" select="normalize-space(.)"/>
                </xsl:call-template>
              </xsl:for-each>
            </ul>
          </xsl:when>
          <!-- The editor lists such an entry on no machine. -->
          <xsl:otherwise><span class="none">No version</span></xsl:otherwise>
        </xsl:choose>
      </td>
      <td>
        <xsl:choose>
          <xsl:when test="$enabled"><span class="badge on state">Enabled</span></xsl:when>
          <xsl:otherwise><span class="badge off state">Disabled</span></xsl:otherwise>
        </xsl:choose>
      </td>
    </tr>
  </xsl:template>

  <xsl:template match="*" mode="registry">
    <xsl:variable name="type" select="translate(normalize-space(KeyType[last()]), $lower,
        $upper)"/>
    <li>
      <span class="kind">Registry</span>
      <xsl:text> </xsl:text>
      <code>
        <xsl:call-template name="breakable">
          <xsl:with-param name="text" select="Key[last()]"/>
        </xsl:call-template>
      </code>
      <br/>
      <code><xsl:value-of select="ValueName[last()]"/></code>
      <xsl:text> = </xsl:text>
      <code><xsl:value-of select="Value[last()]"/></code>
      <xsl:text> </xsl:text>
      <span class="mode">
        <xsl:choose>
          <xsl:when test="$type = 'STRING' or $type = 'BINARY' or $type = 'QWORD' or
              $type = 'EXPANDSTRING' or $type = 'MULTISTRING'">
            <xsl:value-of select="$type"/>
          </xsl:when>
          <xsl:otherwise>DWORD</xsl:otherwise>
        </xsl:choose>
      </span>
    </li>
  </xsl:template>

  <!-- A service's start type and a task's state, shown as a value is: what, then what it is set
       to. -->
  <xsl:template match="*" mode="service">
    <li>
      <span class="kind">Service</span>
      <xsl:text> </xsl:text>
      <code><xsl:value-of select="normalize-space(Name[last()])"/></code>
      <br/>
      <code>StartType</code>
      <xsl:text> = </xsl:text>
      <code><xsl:value-of select="normalize-space(StartType[last()])"/></code>
      <xsl:if test="translate(normalize-space(Stop[last()]), 'TRUE', 'true') = 'true'">
        <xsl:text>, stopped</xsl:text>
      </xsl:if>
    </li>
  </xsl:template>

  <xsl:template match="*" mode="task">
    <li>
      <span class="kind">Task</span>
      <xsl:text> </xsl:text>
      <code>
        <xsl:call-template name="breakable">
          <xsl:with-param name="text" select="normalize-space(Path[last()])"/>
        </xsl:call-template>
      </code>
      <br/>
      <code>State</code>
      <xsl:text> = </xsl:text>
      <code><xsl:value-of select="normalize-space(State[last()])"/></code>
    </li>
  </xsl:template>

  <xsl:template match="*" mode="command">
    <li>
      <span class="kind">Command</span>
      <xsl:text> </xsl:text>
      <code>
        <xsl:call-template name="breakable">
          <xsl:with-param name="text" select="Command[last()]"/>
        </xsl:call-template>
      </code>
    </li>
  </xsl:template>

  <xsl:template match="*" mode="query">
    <xsl:variable name="level" select="normalize-space(WarningLevel[last()])"/>
    <li>
      <span class="kind">WMI check</span>
      <xsl:text> </xsl:text>
      <code><xsl:value-of select="Command[last()]"/></code>
      <br/>
      <span class="mode">
        <xsl:choose>
          <xsl:when test="$level = '9999'">Runs the query without examining the result</xsl:when>
          <xsl:when test="$level = '' or number($level) &lt;= 0">Warns every time</xsl:when>
          <xsl:when test="$level = '1'">Warns when it finds an object</xsl:when>
          <xsl:otherwise>Warns when it finds <xsl:value-of select="$level"/> objects or
            more</xsl:otherwise>
        </xsl:choose>
      </span>
    </li>
  </xsl:template>

  <!-- Paths may wrap after each backslash rather than in the middle of a name. -->
  <xsl:template name="breakable">
    <xsl:param name="text"/>
    <xsl:choose>
      <xsl:when test="contains($text, '\')">
        <xsl:value-of select="substring-before($text, '\')"/>
        <xsl:text>\</xsl:text>
        <wbr/>
        <xsl:call-template name="breakable">
          <xsl:with-param name="text" select="substring-after($text, '\')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Space-separated version names, each as its display name; "All" stands for every version. -->
  <xsl:template name="versions">
    <xsl:param name="list"/>
    <xsl:if test="$list != ''">
      <xsl:variable name="first">
        <xsl:choose>
          <xsl:when test="contains($list, ' ')">
            <xsl:value-of select="substring-before($list, ' ')"/>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="$list"/></xsl:otherwise>
        </xsl:choose>
      </xsl:variable>
      <xsl:variable name="id" select="translate($first, $lower, $upper)"/>
      <xsl:choose>
        <xsl:when test="not(contains($id, ':')) and
            contains($versionTable, concat(';', $id, ':'))">
          <li><xsl:value-of select="substring-after(substring-after(substring-after(
              substring-before(substring-after($versionTable, concat(';', $id, ':')), ';'),
              ':'), ':'), ':')"/></li>
        </xsl:when>
        <xsl:otherwise>
          <li class="unknown" title="Not a version name the program knows">
            <xsl:value-of select="$first"/></li>
        </xsl:otherwise>
      </xsl:choose>
      <xsl:call-template name="versions">
        <xsl:with-param name="list" select="substring-after($list, ' ')"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The letters of the machines whose editor offers the context entry, each once: the
       version names read as the program reads them (letter case ignored, a name it does not
       know read as Windows 2000), each adding the machines it is offered on. -->
  <xsl:template name="offered-on">
    <!-- An entry that names a later version of its own (8.1, 10 or 11; Server 2012 R2 to 2025;
         Server 2008 R2) is offered on those only where it names them: then Windows 8, Server
         2012 and Server 2008 stand for themselves alone, given here by their letters. -->
    <xsl:variable name="all">
      <xsl:for-each select="OSVersion">
        <xsl:value-of select="concat(' ', translate(normalize-space(.), $lower, $upper), ' ')"/>
      </xsl:for-each>
    </xsl:variable>
    <xsl:variable name="narrow">
      <xsl:if test="contains($all, ' WINDOWS8.1 ') or contains($all, ' WINDOWS10 ') or
          contains($all, ' WINDOWS11 ')">d</xsl:if>
      <xsl:if test="contains($all, ' WINDOWSSERVER2012R2 ') or
          contains($all, ' WINDOWSSERVER2016 ') or contains($all, ' WINDOWSSERVER2019 ') or
          contains($all, ' WINDOWSSERVER2022 ') or contains($all, ' WINDOWSSERVER2025 ')">n</xsl:if>
      <xsl:if test="contains($all, ' WINDOWSSERVER2008R2 ')">p</xsl:if>
    </xsl:variable>
    <xsl:variable name="letters">
      <xsl:for-each select="OSVersion">
        <xsl:call-template name="offered-on-names">
          <xsl:with-param name="list" select="normalize-space(.)"/>
          <xsl:with-param name="narrow" select="$narrow"/>
        </xsl:call-template>
      </xsl:for-each>
    </xsl:variable>
    <xsl:value-of select="translate($machines, translate($machines, $letters, ''), '')"/>
  </xsl:template>

  <xsl:template name="offered-on-names">
    <xsl:param name="list"/>
    <xsl:param name="narrow"/>
    <xsl:if test="$list != ''">
      <xsl:variable name="name"
          select="translate(substring-before(concat($list, ' '), ' '), $lower, $upper)"/>
      <xsl:variable name="id">
        <xsl:choose>
          <xsl:when test="not(contains($name, ':')) and
              contains($versionTable, concat(';', $name, ':'))">
            <xsl:value-of select="$name"/>
          </xsl:when>
          <xsl:otherwise>WINDOWS2000</xsl:otherwise>
        </xsl:choose>
      </xsl:variable>
      <xsl:variable name="letter"
          select="substring-before(substring-after($versionTable, concat(';', $id, ':')), ':')"/>
      <xsl:choose>
        <xsl:when test="$letter != '' and contains($narrow, $letter)">
          <xsl:value-of select="$letter"/>
        </xsl:when>
        <xsl:otherwise>
          <xsl:value-of select="substring-before(substring-after(substring-after($versionTable,
              concat(';', $id, ':')), ':'), ':')"/>
        </xsl:otherwise>
      </xsl:choose>
      <xsl:call-template name="offered-on-names">
        <xsl:with-param name="list" select="substring-after($list, ' ')"/>
        <xsl:with-param name="narrow" select="$narrow"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The entries offered on each version, counted, with links that narrow the tables. -->
  <xsl:template name="by-version">
    <div class="by-version" id="by-version">
      <h2>By Windows version</h2>
      <p>What the editor lists on each version: the entries that name it, those for all
        versions, and those for the version it was taken for before it had a name of its own
        (Windows 8 for 8.1, 10 and 11; Server 2012 for Server 2012 R2 to 2025; Server 2008 for
        Server 2008 R2) unless they name one of those later versions, in which case they are
        offered exactly on what they name. Choose a version to see only its entries.</p>
      <div class="card">
        <table>
          <xsl:call-template name="each-version">
            <xsl:with-param name="what" select="'index'"/>
            <xsl:with-param name="group" select="'client'"/>
          </xsl:call-template>
        </table>
      </div>
      <div class="card">
        <table>
          <xsl:call-template name="each-version">
            <xsl:with-param name="what" select="'index'"/>
            <xsl:with-param name="group" select="'server'"/>
          </xsl:call-template>
        </table>
      </div>
    </div>
  </xsl:template>

  <!-- Walks the version table and, for each version a machine can be identified as, writes
       what asks for: "index" (its count row, when it is of the group), "filter" (the note shown
       while the tables are narrowed to it) or "css" (the rule that narrows them). -->
  <xsl:template name="each-version">
    <xsl:param name="table" select="substring-after($versionTable, ';')"/>
    <xsl:param name="what"/>
    <xsl:param name="group"/>
    <xsl:if test="$table != ''">
      <xsl:variable name="row" select="substring-before($table, ';')"/>
      <xsl:variable name="id" select="substring-before($row, ':')"/>
      <xsl:variable name="letter" select="substring-before(substring-after($row, ':'), ':')"/>
      <xsl:variable name="anchor" select="substring-before(substring-after(substring-after(
          substring-after($row, ':'), ':'), ':'), ':')"/>
      <xsl:variable name="name" select="substring-after(substring-after(substring-after(
          substring-after($row, ':'), ':'), ':'), ':')"/>
      <xsl:if test="$letter != ''">
        <xsl:choose>
          <xsl:when test="$what = 'index' and
              ($group = 'server') = starts-with($id, 'WINDOWSSERVER')">
            <tr id="version-{$anchor}" data-letter="{$letter}">
              <td><a href="#only-{$anchor}"><xsl:value-of select="$name"/></a></td>
              <td class="count"><xsl:value-of select="string-length($offeredLetters) -
                  string-length(translate($offeredLetters, $letter, ''))"/></td>
              <td class="part">
                <xsl:value-of select="string-length($enabledLetters) -
                    string-length(translate($enabledLetters, $letter, ''))"/>
                <xsl:text> enabled</xsl:text>
              </td>
            </tr>
          </xsl:when>
          <xsl:when test="$what = 'filter'">
            <div class="filter" id="only-{$anchor}">
              <xsl:text>Only the optimizations offered on </xsl:text>
              <b><xsl:value-of select="$name"/></b>
              <xsl:text>. </xsl:text>
              <a href="#by-version">Show all</a>
            </div>
          </xsl:when>
          <xsl:when test="$what = 'css'">
            <xsl:value-of select="concat('#only-', $anchor, ':target ~ div.category:not(',
                '[data-offered*=&quot;', $letter, '&quot;]), #only-', $anchor,
                ':target ~ div.category tr.entry:not([data-offered*=&quot;', $letter,
                '&quot;]) { display: none; }&#10;          ')"/>
          </xsl:when>
        </xsl:choose>
      </xsl:if>
      <xsl:call-template name="each-version">
        <xsl:with-param name="table" select="substring-after($table, ';')"/>
        <xsl:with-param name="what" select="$what"/>
        <xsl:with-param name="group" select="$group"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

</xsl:stylesheet>
