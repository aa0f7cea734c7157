<?xml version="1.0" encoding="UTF-8"?>
<!-- One technology's page: its packages, each linked to its package page. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:param name="technology" select="''"/>
  <xsl:variable name="tech" select="/javatab/technology[@name = $technology]"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="$tech/@display"/>
      <xsl:with-param name="section" select="'Java'"/>
      <xsl:with-param name="lead" select="concat('Module ', $tech/@name, ': ', count($tech/package), ' packages, ',
          $tech/@classes, ' classes and interfaces.')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <h2>Packages</h2>
    <table>
      <tr><th>Package</th><th>Classes</th></tr>
      <xsl:for-each select="$tech/package">
        <tr>
          <td>
            <a>
              <xsl:attribute name="href">
                <xsl:call-template name="package-page-url">
                  <xsl:with-param name="technology" select="$tech/@name"/>
                  <xsl:with-param name="package" select="@name"/>
                  <xsl:with-param name="docroot" select="$tech/@docroot"/>
                </xsl:call-template>
              </xsl:attribute>
              <code><xsl:value-of select="@name"/></code>
            </a>
          </td>
          <td><xsl:value-of select="@classes"/></td>
        </tr>
      </xsl:for-each>
    </table>
    <xsl:if test="string($tech/@docroot)">
      <p class="muted">Class pages of this technology come from the JDK documentation installed at
        <code><xsl:value-of select="$tech/@docroot"/></code>.</p>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
