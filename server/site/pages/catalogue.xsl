<?xml version="1.0" encoding="UTF-8"?>
<!-- Shared by the Local and Marketplace pages: the catalogue's component lists and the
     component's own page. $link-base names the page a component links to. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>

  <xsl:key name="by-primary" match="category" use="primaryCategory"/>

  <!-- Component rows; link-prefix is followed by the SCID, link-suffix closes the address. -->
  <xsl:template name="component-table">
    <xsl:param name="components"/>
    <xsl:param name="link-prefix"/>
    <xsl:param name="link-suffix" select="''"/>
    <table>
      <tr><th>Component</th><th>Vendor</th><th>Version</th><th>Classes</th></tr>
      <xsl:for-each select="$components">
        <xsl:sort select="translate(componentName, $upper, $lower)"/>
        <tr>
          <td><a href="{concat($link-prefix, @SCID, $link-suffix)}"><xsl:value-of select="componentName"/></a>
            <div class="muted"><xsl:value-of select="substring(description, 1, 160)"/>
              <xsl:if test="string-length(description) &gt; 160">…</xsl:if></div></td>
          <td><xsl:value-of select="vendor"/></td>
          <td><xsl:value-of select="version"/></td>
          <td><xsl:value-of select="classCount"/></td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>

  <!-- A component's facts, versions, packages and placements. -->
  <xsl:template name="component-details">
    <xsl:param name="component"/>
    <p><xsl:value-of select="$component/description"/></p>
    <dl class="facts">
      <dt>Vendor</dt><dd><xsl:value-of select="$component/vendor"/></dd>
      <dt>Version</dt><dd><xsl:value-of select="$component/version"/></dd>
      <dt>SCID</dt><dd><code><xsl:value-of select="$component/@SCID"/></code></dd>
      <dt>Artifact</dt><dd><code><xsl:value-of select="$component/artifact"/></code></dd>
      <dt>Archive</dt><dd><code><xsl:value-of select="$component/archive"/></code></dd>
      <dt>Classes</dt><dd><xsl:value-of select="$component/classCount"/></dd>
      <xsl:if test="string($component/url)">
        <dt>Home page</dt><dd><a href="{$component/url}"><xsl:value-of select="$component/url"/></a></dd>
      </xsl:if>
      <dt>Categories</dt>
      <dd>
        <xsl:for-each select="$component/categories/category">
          <xsl:if test="position() &gt; 1">; </xsl:if>
          <xsl:value-of select="concat(primaryCategory, ' › ', secondaryCategory)"/>
        </xsl:for-each>
      </dd>
    </dl>
    <xsl:if test="$component/versions/version">
      <h2>Versions in the catalogue <span class="count">(<xsl:value-of select="count($component/versions/version)"/>)</span></h2>
      <table class="versions">
        <tr><th>Version</th><th>Classes</th><th>SHA-256</th><th>Licences</th>
          <xsl:if test="/page/advisories"><th>Known vulnerabilities</th></xsl:if></tr>
        <xsl:for-each select="$component/versions/version">
          <tr>
            <td><xsl:value-of select="@name"/></td>
            <td><xsl:value-of select="@classCount"/></td>
            <td><code title="{@sha256}"><xsl:value-of select="substring(@sha256, 1, 12)"/></code></td>
            <td>
              <xsl:for-each select="licence">
                <xsl:if test="position() &gt; 1">; </xsl:if>
                <xsl:choose>
                  <xsl:when test="starts-with(@url, 'https://') or starts-with(@url, 'http://')">
                    <a href="{@url}"><xsl:value-of select="@name"/></a>
                  </xsl:when>
                  <xsl:otherwise><xsl:value-of select="@name"/></xsl:otherwise>
                </xsl:choose>
              </xsl:for-each>
            </td>
            <xsl:if test="/page/advisories">
              <td class="advisories">
                <xsl:variable name="name" select="@name"/>
                <xsl:for-each select="/page/advisories/advisory[@version = $name]">
                  <div class="advisory severity-{@severity}">
                    <a href="https://osv.dev/vulnerability/{@id}"><xsl:value-of select="@id"/></a>
                    <xsl:if test="@aliases != ''"> (<xsl:value-of select="@aliases"/>)</xsl:if>
                    <xsl:text> </xsl:text><span class="severity"><xsl:value-of select="@severity"/></span>
                    <xsl:if test="@unevaluable"> (may affect: its ranges cannot be evaluated)</xsl:if>
                    <xsl:if test="@fixed != ''">, fixed in <xsl:value-of select="@fixed"/></xsl:if>
                    <xsl:if test=". != ''">: <xsl:value-of select="."/></xsl:if>
                  </div>
                </xsl:for-each>
                <xsl:if test="not(/page/advisories/advisory[@version = $name])">none known</xsl:if>
              </td>
            </xsl:if>
          </tr>
        </xsl:for-each>
      </table>
    </xsl:if>
    <h2>Packages <span class="count">(<xsl:value-of select="count($component/packages/package)"/>)</span></h2>
    <ul class="columns">
      <xsl:for-each select="$component/packages/package">
        <li><code><xsl:value-of select="."/></code></li>
      </xsl:for-each>
    </ul>
  </xsl:template>

</xsl:stylesheet>
